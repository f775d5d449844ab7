#include "Registry.h"

#include "AtomicFile.h"
#include "InstalledLayout.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <strings.h>
#include <unistd.h>

namespace vorn {
namespace {

using Lines = std::vector<std::string>;

// The file's lines, or the errno that kept it from being read (0 for lines; a missing file
// has none).
struct FileLines {
    Lines lines;
    int error = 0;
};

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strcasecmp(a.c_str(), b.c_str()) == 0;
}

int readWhole(const std::string& path, std::string& text) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? 0 : errno;
    char buffer[8192];
    int error = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            error = errno;
        if (n <= 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return error;
}

FileLines readLines(const std::string& path) {
    FileLines file;
    std::string text;
    file.error = readWhole(path, text);
    if (file.error != 0)
        return file;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        file.lines.push_back(std::move(line));
        start = end + 1;
    }
    return file;
}

bool isComment(const std::string& line) {
    return !line.empty() && (line[0] == ';' || line[0] == '#');
}

// The section name of a "[...]" line, or nothing.
std::optional<std::string> sectionOf(const std::string& line) {
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']')
        return line.substr(1, line.size() - 2);
    return std::nullopt;
}

struct Section {
    size_t header = 0; // index of the "[key]" line
    size_t end = 0;    // index one past its last line
};

// Every section of the key, in file order: spellings that differ in case name one key.
std::vector<Section> findSections(const Lines& lines, const std::string& key) {
    std::vector<Section> sections;
    for (size_t i = 0; i < lines.size(); ++i) {
        auto name = sectionOf(lines[i]);
        if (!name || !sameName(*name, key))
            continue;
        Section s{i, i + 1};
        while (s.end < lines.size() && !sectionOf(lines[s.end]))
            ++s.end;
        sections.push_back(s);
        i = s.end - 1;
    }
    return sections;
}

// The value's name on a "name=value" line, or nothing for comments and other lines.
std::optional<std::string> valueNameOf(const std::string& line) {
    const size_t eq = line.find('=');
    if (isComment(line) || eq == std::string::npos || eq == 0)
        return std::nullopt;
    return line.substr(0, eq);
}

// The lines of the key that hold the value, in file order; the last one counts.
std::vector<size_t> findValue(const Lines& lines, const std::vector<Section>& sections,
                              const std::string& name) {
    std::vector<size_t> found;
    for (const Section& s : sections)
        for (size_t i = s.header + 1; i < s.end; ++i)
            if (auto valueName = valueNameOf(lines[i]); valueName && sameName(*valueName, name))
                found.push_back(i);
    return found;
}

// Removes the lines at `indexes` (ascending).
void eraseLines(Lines& lines, const std::vector<size_t>& indexes) {
    for (auto it = indexes.rbegin(); it != indexes.rend(); ++it)
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*it));
}

std::string joinLines(const Lines& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + '\n';
    return text;
}

} // namespace

std::string Registry::defaultPath() {
    if (const char* explicitPath = std::getenv("VORN_REGISTRY"); explicitPath && *explicitPath)
        return explicitPath;
    // An installed program shares the services' registry, so what Quillmar saves and
    // vorn-users adds reaches them.
    if (auto installed = installedRegistryFile())
        return *installed;
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.config";
    else
        base = ".config";
    return base + "/VornAutomation/registry.ini";
}

std::optional<std::string> Registry::readProblem() const {
    const int error = readLines(path_).error;
    if (error == 0)
        return std::nullopt;
    return path_ + ": " + std::strerror(error);
}

bool Registry::keyExists(const std::string& key) const {
    return !findSections(readLines(path_).lines, key).empty();
}

std::optional<std::string> Registry::readString(const std::string& key,
                                                const std::string& name) const {
    const Lines lines = readLines(path_).lines;
    const std::vector<size_t> found = findValue(lines, findSections(lines, key), name);
    if (found.empty())
        return std::nullopt;
    const std::string& line = lines[found.back()];
    return line.substr(line.find('=') + 1);
}

std::vector<std::string> Registry::valueNames(const std::string& key) const {
    const Lines lines = readLines(path_).lines;
    std::vector<std::string> names;
    for (const Section& s : findSections(lines, key))
        for (size_t i = s.header + 1; i < s.end; ++i) {
            auto name = valueNameOf(lines[i]);
            if (!name)
                continue;
            bool known = false;
            for (const std::string& earlier : names)
                known = known || sameName(earlier, *name);
            if (!known)
                names.push_back(*name);
        }
    return names;
}

bool Registry::writeString(const std::string& key, const std::string& name,
                           const std::string& value) {
    writeError_.clear();
    // A value is one line: line breaks would turn its rest into lines of their own.
    if (value.find_first_of("\r\n") != std::string::npos ||
        name.find_first_of("=\r\n") != std::string::npos || name.empty()) {
        writeError_ = "a registry value is one line, and its name has no '='";
        return false;
    }
    FileLines file = readLines(path_);
    if (file.error != 0) {
        writeError_ = "cannot read " + path_ + ": " + std::strerror(file.error);
        return false; // rewriting what could not be read would lose it
    }
    Lines& lines = file.lines;
    const std::string entry = name + "=" + value;
    const std::vector<Section> sections = findSections(lines, key);
    std::vector<size_t> found = findValue(lines, sections, name);
    if (!found.empty()) {
        // The value stays where it counted; copies of it in the key's other spellings go.
        lines[found.back()] = entry;
        found.pop_back();
        eraseLines(lines, found);
    } else if (sections.empty()) {
        if (!lines.empty() && !lines.back().empty())
            lines.emplace_back();
        lines.push_back("[" + key + "]");
        lines.push_back(entry);
    } else {
        const Section& section = sections.front();
        size_t at = section.end;
        while (at > section.header + 1 && lines[at - 1].empty())
            --at; // keep the blank line that separates sections after the new value
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), entry);
    }
    return write(lines);
}

bool Registry::deleteValue(const std::string& key, const std::string& name) {
    writeError_.clear();
    FileLines file = readLines(path_);
    const std::vector<size_t> found = findValue(file.lines, findSections(file.lines, key), name);
    if (found.empty())
        return false;
    eraseLines(file.lines, found);
    return write(file.lines);
}

bool Registry::deleteKey(const std::string& key) {
    writeError_.clear();
    FileLines file = readLines(path_);
    const std::vector<Section> sections = findSections(file.lines, key);
    if (sections.empty())
        return false;
    for (auto it = sections.rbegin(); it != sections.rend(); ++it)
        file.lines.erase(file.lines.begin() + static_cast<std::ptrdiff_t>(it->header),
                         file.lines.begin() + static_cast<std::ptrdiff_t>(it->end));
    return write(file.lines);
}

bool Registry::write(const Lines& lines) {
    std::error_code ec;
    const std::filesystem::path target(path_);
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path(), ec);
    // The registry may hold password hashes: a new file is its owner's only.
    if (auto problem = writeFileAtomically(path_, joinLines(lines), kPrivateFileMode)) {
        writeError_ = *problem;
        return false;
    }
    return true;
}

} // namespace vorn
