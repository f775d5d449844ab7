// The simulator's request log read back as records, for tests that check what reached the
// device and when. A line looks like
//
//   2026-12-08T20:31:05.123 unit=17 fc=16 start=10 count=2 data=41480000
//
// (UTC time with milliseconds; data only for writes, the written bytes in hex).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::test {

struct LoggedRequest {
    std::chrono::system_clock::time_point time; // millisecond resolution
    int unit = 0;
    int function = 0;
    int start = 0;
    int count = 0;
    std::optional<std::vector<std::uint8_t>> data; // writes only
};

// nullopt for a line that is not in the log's format (nothing in it is guessed).
std::optional<LoggedRequest> parseLogLine(std::string_view line);

// Every record in the file; throws std::runtime_error naming the first malformed line.
// A missing file holds no records.
std::vector<LoggedRequest> readRequestLog(const std::string& path);

// Reads the log until it holds at least `count` records or `timeout` passes; returns what is
// there then (fewer records than asked for means they did not come).
std::vector<LoggedRequest> waitForRequests(const std::string& path, std::size_t count,
                                           std::chrono::milliseconds timeout);

// Time between two records, for checking poll periods and gaps.
inline std::chrono::milliseconds gapBetween(const LoggedRequest& earlier,
                                            const LoggedRequest& later) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(later.time - earlier.time);
}

} // namespace vorn::test
