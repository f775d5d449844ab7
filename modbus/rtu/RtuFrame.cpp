#include "RtuFrame.h"

#include "ModbusCrc.h"
#include "modbus/ByteOrder.h"
#include "modbus/ErrorCodes.h"
#include "modbus/ModbusProtocol.h"
#include "modbus/ReplyPdu.h"

#include <algorithm>

namespace vorn::modbus {
namespace {

constexpr size_t kReadReplyByteCountOffset = 2;

// The PDU inside a frame: without unit identifier and CRC.
std::span<const uint8_t> pduOf(std::span<const uint8_t> frame) {
    return frame.subspan(1, frame.size() - kRtuFrameOverhead);
}

} // namespace

std::vector<uint8_t> rtuFrame(uint8_t unitId, std::span<const uint8_t> pdu) {
    std::vector<uint8_t> frame;
    frame.reserve(pdu.size() + kRtuFrameOverhead);
    frame.push_back(unitId);
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    const uint16_t crc = modbusCrc(frame);
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    return frame;
}

int checkRtuReplyFrame(std::span<const uint8_t> reply, std::span<const uint8_t> request) {
    if (reply.size() < kRtuExceptionReplyBytes)
        return ErrorCode::kReceiveFailed;
    const uint8_t function = reply[1];
    if (reply[0] != request[0] || (function & ~FunctionCode::kExceptionFlag) != request[1])
        return ErrorCode::kBadSerialReply;
    if (!hasValidCrc(reply))
        return ErrorCode::kChecksumError;
    if (function & FunctionCode::kExceptionFlag)
        return reply.size() == kRtuExceptionReplyBytes ? exceptionErrorCode(reply[2])
                                                       : ErrorCode::kBadSerialReply;
    return -1;
}

int checkRtuReadReply(std::span<const uint8_t> reply, std::span<const uint8_t> request,
                      uint8_t kind, uint16_t count, std::span<uint8_t> destination) {
    if (const int code = checkRtuReplyFrame(reply, request); code >= 0)
        return code;
    if (reply[kReadReplyByteCountOffset] == 0)
        return ErrorCode::kIllegalDataAddress;
    return checkReadReply(pduOf(reply), request[1], kind, count, destination,
                          ErrorCode::kBadSerialReply);
}

int checkRtuWriteMultipleReply(std::span<const uint8_t> reply, std::span<const uint8_t> request) {
    if (const int code = checkRtuReplyFrame(reply, request); code >= 0)
        return code;
    if (reply.size() != kRtuWriteReplyBytes || request.size() < kRtuWriteReplyBytes)
        return ErrorCode::kBadSerialReply;
    if (wordAt(reply, 2) != wordAt(request, 2))
        return ErrorCode::kBadSerialReply;
    if (wordAt(reply, 4) != wordAt(request, 4))
        return ErrorCode::kQuantityEchoMismatch;
    return ErrorCode::kSuccess;
}

int checkRtuWriteSingleReply(std::span<const uint8_t> reply, std::span<const uint8_t> request) {
    if (const int code = checkRtuReplyFrame(reply, request); code >= 0)
        return code;
    return std::ranges::equal(reply, request) ? ErrorCode::kSuccess : ErrorCode::kBadSerialReply;
}

} // namespace vorn::modbus
