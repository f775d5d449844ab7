// Collects a Modbus TCP reply from a byte stream. TCP may split a reply over several reads or
// put several replies in one; a reply is complete only when as many bytes as its header's length
// field announces have arrived. Complete frames of other transactions (late replies to earlier
// requests) are dropped. At most one frame is held, so memory stays bounded whatever arrives.
#pragma once

#include "modbus/ModbusProtocol.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vorn::modbus {

class MbapReplyAssembler {
public:
    enum class State {
        waiting,  // the expected reply has not fully arrived
        complete, // pdu() holds it
        failed,   // errorCode() says why; see streamLost()
    };

    // Waits for the reply to `transactionId` from `unitId`. A frame already partly received is
    // still read to its end (and dropped unless it is that reply).
    void expect(uint16_t transactionId, uint8_t unitId);

    // Takes the next bytes of the stream, in order; returns the state after them.
    State feed(std::span<const uint8_t> bytes);

    State state() const { return state_; }
    // 52 when a header is malformed (protocol identifier, length) or the reply's unit differs.
    int errorCode() const { return errorCode_; }
    // True after a malformed header: frame boundaries are lost and only reset() (with a new
    // connection) recovers; until then every expected reply fails.
    bool streamLost() const { return streamLost_; }
    // The reply's PDU (function code on) once complete; empty otherwise.
    std::span<const uint8_t> pdu() const;
    // Frames dropped because they answered another transaction.
    size_t droppedFrames() const { return droppedFrames_; }

    // Forgets every byte and state, for a fresh connection.
    void reset();

private:
    void fail(int code);
    void frameComplete();

    std::array<uint8_t, kMaxTcpFrameBytes> frame_{};
    size_t frameBytes_ = 0;
    std::array<uint8_t, kMaxPduBytes> reply_{};
    size_t replyBytes_ = 0;
    bool expecting_ = false;
    uint16_t transactionId_ = 0;
    uint8_t unitId_ = 0;
    State state_ = State::waiting;
    int errorCode_ = 0;
    bool streamLost_ = false;
    size_t droppedFrames_ = 0;
};

} // namespace vorn::modbus
