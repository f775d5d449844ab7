#include "AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn {
namespace {

// The process's umask, read without changing it (umask() would, for a moment, for every
// thread).
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    }
    return 022;
}

std::string groupName(gid_t gid) {
    if (const group* entry = ::getgrgid(gid))
        return entry->gr_name;
    return std::to_string(gid);
}

std::string failure(const std::string& path, const std::string& what, int error) {
    return "cannot write " + path + ": " + what + std::strerror(error);
}

bool writeAll(int fd, std::string_view content) {
    for (size_t done = 0; done < content.size();) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Gives the temporary file the old file's owner and group. Only root may give a file away: a
// group member saving a file of the group keeps the group and becomes its owner. A group the
// writer cannot set is a failure, as the file's readers may depend on it.
std::optional<std::string> keepOwnership(int fd, const struct stat& old, const std::string& path) {
    struct stat made {};
    if (::fstat(fd, &made) != 0)
        return failure(path, "", errno);
    if (made.st_uid == old.st_uid && made.st_gid == old.st_gid)
        return std::nullopt;
    if (::fchown(fd, old.st_uid, old.st_gid) == 0)
        return std::nullopt;
    if (made.st_gid == old.st_gid || ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0)
        return std::nullopt;
    return failure(path, "cannot keep its group " + groupName(old.st_gid) + ": ", errno);
}

} // namespace

std::optional<std::string> writeFileAtomically(const std::string& path, std::string_view content,
                                               mode_t newFileMode) {
    std::error_code ec;
    std::filesystem::path target(path);
    if (std::filesystem::is_symlink(target, ec)) {
        const auto resolved = std::filesystem::canonical(target, ec);
        if (!ec)
            target = resolved;
    }
    const std::string file = target.string();

    struct stat old {};
    const bool existed = ::stat(file.c_str(), &old) == 0;
    if (!existed && errno != ENOENT)
        return failure(file, "", errno);
    const mode_t mode = existed ? (old.st_mode & 07777) : (newFileMode & ~currentUmask() & 07777);

    std::string temporary = file + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data()); // mode 0600 until it is set below
    if (fd < 0)
        return failure(file, "", errno);
    std::optional<std::string> problem;
    if (existed)
        problem = keepOwnership(fd, old, file);
    if (!problem && ::fchmod(fd, mode) != 0)
        problem = failure(file, "", errno);
    if (!problem && !writeAll(fd, content))
        problem = failure(file, "", errno);
    if (!problem && ::fsync(fd) != 0)
        problem = failure(file, "", errno);
    if (::close(fd) != 0 && !problem)
        problem = failure(file, "", errno);
    if (!problem && std::rename(temporary.c_str(), file.c_str()) != 0)
        problem = failure(file, "", errno);
    if (problem)
        ::unlink(temporary.c_str());
    return problem;
}

} // namespace vorn
