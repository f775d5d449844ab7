#include "RequestLog.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <modbus/modbus.h>
#include <stdexcept>
#include <unistd.h>

namespace modbus_sim {
namespace {

int word(const std::uint8_t* pdu, int at) {
    return (pdu[at] << 8) | pdu[at + 1];
}

} // namespace

RequestSummary summarizeRequest(const std::uint8_t* adu, int length, int pduOffset) {
    RequestSummary summary;
    if (pduOffset < 1 || length <= pduOffset)
        return summary;
    summary.unit = adu[pduOffset - 1];
    summary.function = adu[pduOffset];
    const std::uint8_t* pdu = adu + pduOffset;
    const int pduLength = length - pduOffset;
    auto copyData = [&](int from, int bytes) {
        summary.hasData = true;
        if (from + bytes > pduLength)
            bytes = std::max(0, pduLength - from);
        summary.data.assign(pdu + from, pdu + from + bytes);
    };
    switch (summary.function) {
    case MODBUS_FC_READ_COILS:
    case MODBUS_FC_READ_DISCRETE_INPUTS:
    case MODBUS_FC_READ_HOLDING_REGISTERS:
    case MODBUS_FC_READ_INPUT_REGISTERS:
        if (pduLength >= 5) {
            summary.start = word(pdu, 1);
            summary.count = word(pdu, 3);
        }
        break;
    case MODBUS_FC_WRITE_SINGLE_COIL:
    case MODBUS_FC_WRITE_SINGLE_REGISTER:
        if (pduLength >= 5) {
            summary.start = word(pdu, 1);
            summary.count = 1;
            copyData(3, 2);
        }
        break;
    case MODBUS_FC_WRITE_MULTIPLE_COILS:
    case MODBUS_FC_WRITE_MULTIPLE_REGISTERS:
        if (pduLength >= 6) {
            summary.start = word(pdu, 1);
            summary.count = word(pdu, 3);
            copyData(6, pdu[5]);
        }
        break;
    case MODBUS_FC_MASK_WRITE_REGISTER:
        if (pduLength >= 7) {
            summary.start = word(pdu, 1);
            summary.count = 1;
            copyData(3, 4); // AND mask, OR mask
        }
        break;
    case MODBUS_FC_WRITE_AND_READ_REGISTERS:
        // Logged by its read part; the written registers go into data.
        if (pduLength >= 10) {
            summary.start = word(pdu, 1);
            summary.count = word(pdu, 3);
            copyData(10, pdu[9]);
        }
        break;
    default:
        break;
    }
    return summary;
}

std::string formatLogLine(const RequestSummary& request,
                          std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    auto sinceEpoch = duration_cast<milliseconds>(time.time_since_epoch()).count();
    std::time_t seconds = static_cast<std::time_t>(sinceEpoch / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &utc);

    char fields[96];
    std::snprintf(fields, sizeof fields, "%s.%03d unit=%d fc=%d start=%d count=%d", stamp,
                  static_cast<int>(sinceEpoch % 1000), request.unit, request.function,
                  request.start, request.count);
    std::string line = fields;
    if (request.hasData) {
        static const char* digits = "0123456789abcdef";
        line += " data=";
        for (std::uint8_t byte : request.data) {
            line += digits[byte >> 4];
            line += digits[byte & 0x0f];
        }
    }
    line += '\n';
    return line;
}

RequestLog::RequestLog(const std::string& path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0)
        throw std::runtime_error("cannot open the request log " + path + ": " +
                                 std::strerror(errno));
}

RequestLog::~RequestLog() {
    if (fd_ >= 0)
        ::close(fd_);
}

void RequestLog::record(const RequestSummary& request) {
    if (fd_ < 0)
        return;
    std::string line = formatLogLine(request, std::chrono::system_clock::now());
    const char* next = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        ssize_t written = ::write(fd_, next, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            std::fprintf(stderr, "modbus-sim: writing the request log failed: %s\n",
                         std::strerror(errno));
            return;
        }
        next += written;
        left -= static_cast<std::size_t>(written);
    }
}

} // namespace modbus_sim
