#include "CommLog.h"

#include "platform/ProgramPath.h"
#include "toolkit/SOCmnTrace.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn::modbus {
namespace {

constexpr std::array<const char*, 12> monthAbbreviations{"Gen", "Feb", "Mar", "Apr", "May", "Jun",
                                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<size_t>(written);
    }
    return true;
}

int openLog(const std::string& path) {
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
}

} // namespace

std::tm CommLog::localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

CommLog::CommLog(std::string folder, LocalClock clock)
    : folder_(std::move(folder)), clock_(std::move(clock)) {
    if (!folder_.empty() && folder_.back() != '/')
        folder_ += '/';
}

CommLog CommLog::besideProgram() {
    return CommLog(vorn::besideProgram("")); // the program's folder, or empty when unknown
}

std::string CommLog::formatLine(const std::tm& time, std::string_view prefix,
                                std::span<const uint8_t> bytes) {
    const int month = time.tm_mon >= 0 && time.tm_mon < 12 ? time.tm_mon : 0;
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%i %s %i %02i:%02i:%02i. ", time.tm_mday,
                  monthAbbreviations[static_cast<size_t>(month)], time.tm_year + 1900, time.tm_hour,
                  time.tm_min, time.tm_sec);
    std::string line = stamp;
    line += prefix;
    line += ' ';
    char hex[4];
    for (uint8_t byte : bytes) {
        std::snprintf(hex, sizeof hex, "%x ", byte);
        line += hex;
    }
    line += "\r\n";
    return line;
}

void CommLog::appendLine(const std::string& line) {
    std::lock_guard lock(writing_);
    appendLocked(line);
}

void CommLog::noteWriteFailure(const std::string& path, int error) {
    const std::string reason = std::strerror(error);
    if (reason == lastFailure_)
        return;
    lastFailure_ = reason;
    getSOCmnTrace().trace(TraceLevel::warning, "RTU",
                          "communication log " + path + " cannot be written: " + reason +
                              "; its lines are lost until it can");
}

void CommLog::appendLocked(const std::string& line) {
    int fd = openLog(currentPath());
    if (fd < 0) {
        noteWriteFailure(currentPath(), errno);
        return;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        noteWriteFailure(currentPath(), errno);
        ::close(fd);
        return;
    }
    if (status.st_size > rotationBytes) {
        ::close(fd);
        ::unlink(backupPath().c_str());
        ::rename(currentPath().c_str(), backupPath().c_str());
        fd = openLog(currentPath());
        if (fd < 0) {
            noteWriteFailure(currentPath(), errno);
            return;
        }
    }
    const bool written = ::lseek(fd, 0, SEEK_END) >= 0 && writeAll(fd, line);
    const int error = errno;
    ::close(fd);
    if (!written)
        noteWriteFailure(currentPath(), error != 0 ? error : EIO);
    else
        lastFailure_.clear();
}

void CommLog::logTransaction(std::span<const uint8_t> request, std::span<const uint8_t> reply) {
    if (!enabled())
        return;
    const std::tm now = clock_();
    const std::string sent =
        formatLine(now, "TX:", request.first(std::min(request.size(), kLoggedRequestBytes)));
    const std::string received = formatLine(now, "RX:", reply);
    std::lock_guard lock(writing_);
    appendLocked(sent);
    appendLocked(received);
}

} // namespace vorn::modbus
