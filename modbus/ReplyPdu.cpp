#include "ReplyPdu.h"

#include "ModbusProtocol.h"
#include "RegisterKind.h"

#include <algorithm>

namespace vorn::modbus {
namespace {

constexpr size_t kExceptionReplyBytes = 2;  // function code | 0x80, exception code
constexpr size_t kReadReplyHeaderBytes = 2; // function code, byte count
constexpr size_t kWriteEchoBytes = 5;       // function code and two 16-bit fields

// 0 when the function code answers the request, an error code otherwise (-1: go on checking).
int checkFunction(std::span<const uint8_t> reply, uint8_t functionCode, int malformedCode) {
    if (reply.empty())
        return malformedCode;
    const uint8_t function = reply[0];
    if ((function & ~FunctionCode::kExceptionFlag) != functionCode)
        return malformedCode;
    if (function & FunctionCode::kExceptionFlag)
        return reply.size() >= kExceptionReplyBytes ? exceptionErrorCode(reply[1]) : malformedCode;
    return -1;
}

} // namespace

int exceptionErrorCode(uint8_t exceptionCode) {
    switch (exceptionCode) {
    case 1:
        return ErrorCode::kIllegalFunction;
    case 2:
        return ErrorCode::kIllegalDataAddress;
    case 3:
        return ErrorCode::kIllegalDataValue;
    default:
        return ErrorCode::kOtherException;
    }
}

int checkReadReply(std::span<const uint8_t> reply, uint8_t functionCode, uint8_t kind,
                   uint16_t count, std::span<uint8_t> destination, int malformedCode) {
    if (const int code = checkFunction(reply, functionCode, malformedCode); code >= 0)
        return code;
    const size_t expected = unitBytes(kind, count);
    if (reply.size() != kReadReplyHeaderBytes + expected || reply[1] != expected ||
        destination.size() < expected)
        return malformedCode;
    std::copy_n(reply.begin() + kReadReplyHeaderBytes, expected, destination.begin());
    return ErrorCode::kSuccess;
}

int checkWriteReply(std::span<const uint8_t> reply, std::span<const uint8_t> request,
                    int malformedCode) {
    if (request.size() < kWriteEchoBytes)
        return malformedCode;
    if (const int code = checkFunction(reply, request[0], malformedCode); code >= 0)
        return code;
    if (reply.size() != kWriteEchoBytes || !std::equal(reply.begin(), reply.end(), request.begin()))
        return malformedCode;
    return ErrorCode::kSuccess;
}

} // namespace vorn::modbus
