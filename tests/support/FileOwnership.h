// A file's owner, group and mode, for the tests that check a writer keeps them. As root a test
// hands the file to numeric IDs no account uses: a file may carry any ID, so no user or group
// has to be made on the machine for it. Otherwise the file keeps the test's own IDs and only
// its mode tells.
#pragma once

#include <ostream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn::test {

inline constexpr uid_t kForeignUid = 48211;
inline constexpr gid_t kForeignGid = 48212;

struct FileOwnership {
    uid_t uid = 0;
    gid_t gid = 0;
    mode_t mode = 0;
    bool operator==(const FileOwnership&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const FileOwnership& o) {
    return out << o.uid << ":" << o.gid << " mode 0" << std::oct << o.mode << std::dec;
}

inline FileOwnership ownershipOf(const std::string& path) {
    struct stat s {};
    if (::stat(path.c_str(), &s) != 0)
        return {};
    return {s.st_uid, s.st_gid, s.st_mode & 07777};
}

// Gives `path` the mode and, as root, the foreign owner and group; returns what it has now.
inline FileOwnership handOver(const std::string& path, mode_t mode) {
    if (::geteuid() == 0 && ::chown(path.c_str(), kForeignUid, kForeignGid) != 0)
        return {};
    ::chmod(path.c_str(), mode);
    return ownershipOf(path);
}

// Sets the process's umask for a scope (writers must not let it change a file's mode).
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : previous_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(previous_); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t previous_;
};

} // namespace vorn::test
