#include "Registry.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <strings.h>
#include <unistd.h>
#include <vector>

namespace vorn {
namespace {

using Lines = std::vector<std::string>;

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strcasecmp(a.c_str(), b.c_str()) == 0;
}

Lines readLines(const std::string& path) {
    Lines lines;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
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

std::optional<Section> findSection(const Lines& lines, const std::string& key) {
    for (size_t i = 0; i < lines.size(); ++i) {
        auto name = sectionOf(lines[i]);
        if (!name || !sameName(*name, key))
            continue;
        Section s{i, i + 1};
        while (s.end < lines.size() && !sectionOf(lines[s.end]))
            ++s.end;
        return s;
    }
    return std::nullopt;
}

std::optional<size_t> findValue(const Lines& lines, const Section& s, const std::string& name) {
    for (size_t i = s.header + 1; i < s.end; ++i) {
        const std::string& line = lines[i];
        if (isComment(line))
            continue;
        size_t eq = line.find('=');
        if (eq != std::string::npos && sameName(line.substr(0, eq), name))
            return i;
    }
    return std::nullopt;
}

bool writeLines(const std::string& path, const Lines& lines) {
    std::error_code ec;
    std::filesystem::path target(path);
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path(), ec);
    std::string temp = path + ".tmp." + std::to_string(getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        for (const std::string& line : lines)
            out << line << '\n';
        out.flush();
        if (!out) {
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

} // namespace

std::string Registry::defaultPath() {
    if (const char* explicitPath = std::getenv("VORN_REGISTRY"); explicitPath && *explicitPath)
        return explicitPath;
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.config";
    else
        base = ".config";
    return base + "/VornAutomation/registry.ini";
}

bool Registry::keyExists(const std::string& key) const {
    return findSection(readLines(path_), key).has_value();
}

std::optional<std::string> Registry::readString(const std::string& key,
                                                const std::string& name) const {
    Lines lines = readLines(path_);
    auto section = findSection(lines, key);
    if (!section)
        return std::nullopt;
    auto index = findValue(lines, *section, name);
    if (!index)
        return std::nullopt;
    const std::string& line = lines[*index];
    return line.substr(line.find('=') + 1);
}

std::vector<std::string> Registry::valueNames(const std::string& key) const {
    Lines lines = readLines(path_);
    std::vector<std::string> names;
    auto section = findSection(lines, key);
    if (!section)
        return names;
    for (size_t i = section->header + 1; i < section->end; ++i) {
        size_t eq = lines[i].find('=');
        if (!isComment(lines[i]) && eq != std::string::npos && eq > 0)
            names.push_back(lines[i].substr(0, eq));
    }
    return names;
}

bool Registry::writeString(const std::string& key, const std::string& name,
                           const std::string& value) {
    // A value is one line: line breaks would turn its rest into lines of their own.
    if (value.find_first_of("\r\n") != std::string::npos ||
        name.find_first_of("=\r\n") != std::string::npos || name.empty())
        return false;
    Lines lines = readLines(path_);
    std::string entry = name + "=" + value;
    auto section = findSection(lines, key);
    if (!section) {
        if (!lines.empty() && !lines.back().empty())
            lines.emplace_back();
        lines.push_back("[" + key + "]");
        lines.push_back(entry);
    } else if (auto index = findValue(lines, *section, name)) {
        lines[*index] = entry;
    } else {
        size_t at = section->end;
        while (at > section->header + 1 && lines[at - 1].empty())
            --at; // keep the blank line that separates sections after the new value
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), entry);
    }
    return writeLines(path_, lines);
}

bool Registry::deleteValue(const std::string& key, const std::string& name) {
    Lines lines = readLines(path_);
    auto section = findSection(lines, key);
    if (!section)
        return false;
    auto index = findValue(lines, *section, name);
    if (!index)
        return false;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*index));
    return writeLines(path_, lines);
}

bool Registry::deleteKey(const std::string& key) {
    Lines lines = readLines(path_);
    auto section = findSection(lines, key);
    if (!section)
        return false;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(section->header),
                lines.begin() + static_cast<std::ptrdiff_t>(section->end));
    return writeLines(path_, lines);
}

} // namespace vorn
