// The communication log of the serial server: one text line per frame sent ("TX:") and per
// reply received ("RX:") in "Log.err", which is moved to "Log.bak" once it has grown past
// 1,000,000 bytes. Switched on at start by the registry (CommLogSettings) or later by the main
// window; the communication thread writes. A line that cannot be written is lost, as logging
// never disturbs communication, but the trace says so once (and again after lines were written
// in between).
// Several communication threads may share one log (one per serial line): a transaction's two
// lines and the move to the backup happen under one lock, so lines never mix.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

namespace vorn::modbus {

class CommLog {
public:
    static constexpr long long rotationBytes = 1'000'000;
    // Only this many bytes of a sent frame are logged.
    static constexpr size_t kLoggedRequestBytes = 8;

    // The local time a line is stamped with.
    using LocalClock = std::function<std::tm()>;
    static std::tm localNow();

    // `folder` holds the files; empty means the current directory.
    explicit CommLog(std::string folder, LocalClock clock = localNow);
    // The log beside the program (the current directory when the program path is unknown).
    static CommLog besideProgram();

    // The switch may be flipped from another thread than the writer's; a line pair may be
    // written or skipped around the moment it changes.
    void setEnabled(bool on) { enabled_.store(on, std::memory_order_relaxed); }
    bool enabled() const { return enabled_.load(std::memory_order_relaxed); }

    std::string currentPath() const { return folder_ + "Log.err"; }
    std::string backupPath() const { return folder_ + "Log.bak"; }

    // One transaction when the switch is on: the first bytes of the request, then the reply,
    // the two lines together. Any thread.
    void logTransaction(std::span<const uint8_t> request, std::span<const uint8_t> reply);

    // "5 Dec 2026 09:05:03. TX: 11 3 0 0 0 2 c6 9b \r\n" for the given time, prefix and bytes.
    static std::string formatLine(const std::tm& time, std::string_view prefix,
                                  std::span<const uint8_t> bytes);
    // Appends a line, first moving a log grown past the limit to the backup. Any thread.
    void appendLine(const std::string& line);

private:
    void appendLocked(const std::string& line);
    // The trace hears of a log that cannot be written once per reason, not once per line.
    void noteWriteFailure(const std::string& path, int error);

    std::string lastFailure_; // why the last line was lost; empty after one was written

    std::mutex writing_; // one writer at a time: appending, rotating
    std::string folder_; // empty or ending in '/'
    LocalClock clock_;
    std::atomic<bool> enabled_{false};
};

} // namespace vorn::modbus
