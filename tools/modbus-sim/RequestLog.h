// The request log: one line per request received, written with a single write() so every line
// is complete on disk the moment the request has been read.
//
//   2026-12-08T20:31:05.123 unit=17 fc=16 start=10 count=2 data=41480000
//
// Time is UTC with milliseconds. `start` and `count` are the request's address and quantity
// (count=1 for single writes, start=0 count=0 for functions without an address); `data` is
// present for writes only: the written bytes as they came on the wire, in hex.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace modbus_sim {

struct RequestSummary {
    int unit = 0;
    int function = 0;
    int start = 0;
    int count = 0;
    bool hasData = false;
    std::vector<std::uint8_t> data;
};

// Reads the fields of a request ADU whose PDU (function code) starts at `pduOffset`.
// Fields the frame is too short to hold stay 0.
RequestSummary summarizeRequest(const std::uint8_t* adu, int length, int pduOffset);

std::string formatLogLine(const RequestSummary& request,
                          std::chrono::system_clock::time_point time);

class RequestLog {
public:
    RequestLog() = default; // logs nothing
    // Throws std::runtime_error when the file cannot be opened.
    explicit RequestLog(const std::string& path);
    ~RequestLog();
    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;

    void record(const RequestSummary& request);

private:
    int fd_ = -1;
};

} // namespace modbus_sim
