#include "ReplyPdu.h"

#include "ModbusProtocol.h"
#include "RegisterKind.h"

#include <algorithm>

namespace vorn::modbus {
namespace {

constexpr size_t exceptionReplyBytes = 2;  // function code | 0x80, exception code
constexpr size_t readReplyHeaderBytes = 2; // function code, byte count
constexpr size_t writeEchoBytes = 5;       // function code and two 16-bit fields

// 0 when the function code answers the request, an error code otherwise (-1: go on checking).
int checkFunction(std::span<const uint8_t> reply, uint8_t functionCode, int malformedCode) {
    if (reply.empty())
        return malformedCode;
    const uint8_t function = reply[0];
    if ((function & ~FunctionCode::exceptionFlag) != functionCode)
        return malformedCode;
    if (function & FunctionCode::exceptionFlag)
        return reply.size() >= exceptionReplyBytes ? exceptionErrorCode(reply[1]) : malformedCode;
    return -1;
}

} // namespace

int exceptionErrorCode(uint8_t exceptionCode) {
    switch (exceptionCode) {
    case 1:
        return ErrorCode::illegalFunction;
    case 2:
        return ErrorCode::illegalDataAddress;
    case 3:
        return ErrorCode::illegalDataValue;
    default:
        return ErrorCode::otherException;
    }
}

int checkReadReply(std::span<const uint8_t> reply, uint8_t functionCode, uint8_t kind,
                   uint16_t count, std::span<uint8_t> destination, int malformedCode) {
    if (const int code = checkFunction(reply, functionCode, malformedCode); code >= 0)
        return code;
    const size_t expected = unitBytes(kind, count);
    if (reply.size() != readReplyHeaderBytes + expected || reply[1] != expected ||
        destination.size() < expected)
        return malformedCode;
    std::copy_n(reply.begin() + readReplyHeaderBytes, expected, destination.begin());
    return ErrorCode::success;
}

int checkWriteReply(std::span<const uint8_t> reply, std::span<const uint8_t> request,
                    int malformedCode) {
    if (request.size() < writeEchoBytes)
        return malformedCode;
    if (const int code = checkFunction(reply, request[0], malformedCode); code >= 0)
        return code;
    if (reply.size() != writeEchoBytes || !std::equal(reply.begin(), reply.end(), request.begin()))
        return malformedCode;
    return ErrorCode::success;
}

} // namespace vorn::modbus
