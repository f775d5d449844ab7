#include "MbapReplyAssembler.h"

#include "modbus/ByteOrder.h"
#include "modbus/ErrorCodes.h"

#include <algorithm>

namespace vorn::modbus {
namespace {

constexpr size_t kTransactionOffset = 0;
constexpr size_t kProtocolOffset = 2;
constexpr size_t kLengthOffset = 4;
constexpr size_t kUnitOffset = 6;
constexpr size_t kLengthCountsFrom = kUnitOffset; // the length field counts unit + PDU
constexpr uint16_t kMinLengthField = 2;           // unit identifier and function code
constexpr uint16_t kMaxLengthField = 1 + kMaxPduBytes;

} // namespace

void MbapReplyAssembler::expect(uint16_t transactionId, uint8_t unitId) {
    expecting_ = true;
    transactionId_ = transactionId;
    unitId_ = unitId;
    replyBytes_ = 0;
    if (streamLost_)
        return; // stays failed until reset()
    state_ = State::waiting;
    errorCode_ = ErrorCode::kSuccess;
}

MbapReplyAssembler::State MbapReplyAssembler::feed(std::span<const uint8_t> bytes) {
    for (const uint8_t byte : bytes) {
        if (streamLost_)
            break;
        frame_[frameBytes_++] = byte;
        if (frameBytes_ < kMbapHeaderBytes)
            continue;
        const std::span<const uint8_t> header(frame_.data(), kMbapHeaderBytes);
        const uint16_t length = wordAt(header, kLengthOffset);
        if (frameBytes_ == kMbapHeaderBytes &&
            (wordAt(header, kProtocolOffset) != kMbapProtocolId || length < kMinLengthField ||
             length > kMaxLengthField)) {
            // Frame boundaries are lost; a reply already complete stays valid.
            streamLost_ = true;
            if (state_ != State::complete)
                fail(ErrorCode::kMalformedReply);
            break;
        }
        if (frameBytes_ == kLengthCountsFrom + length)
            frameComplete();
    }
    return state_;
}

void MbapReplyAssembler::frameComplete() {
    const std::span<const uint8_t> frame(frame_.data(), frameBytes_);
    frameBytes_ = 0;
    const bool isAwaitedReply = expecting_ && state_ == State::waiting &&
                                wordAt(frame, kTransactionOffset) == transactionId_;
    if (!isAwaitedReply) {
        ++droppedFrames_;
        return;
    }
    if (frame[kUnitOffset] != unitId_) {
        fail(ErrorCode::kMalformedReply);
        return;
    }
    const std::span<const uint8_t> pdu = frame.subspan(kMbapHeaderBytes);
    replyBytes_ = std::min(pdu.size(), reply_.size());
    std::copy_n(pdu.begin(), replyBytes_, reply_.begin());
    state_ = State::complete;
}

std::span<const uint8_t> MbapReplyAssembler::pdu() const {
    if (state_ != State::complete)
        return {};
    return std::span<const uint8_t>(reply_.data(), replyBytes_);
}

void MbapReplyAssembler::fail(int code) {
    state_ = State::failed;
    errorCode_ = code;
    replyBytes_ = 0;
}

void MbapReplyAssembler::reset() {
    *this = MbapReplyAssembler();
}

} // namespace vorn::modbus
