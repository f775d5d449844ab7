// Modbus TCP frames: what goes out, and how replies are taken from the stream.
#include "modbus/RegisterKind.h"
#include "modbus/ReplyPdu.h"
#include "modbus/RequestPdu.h"
#include "modbus/tcp/MbapEncoder.h"
#include "modbus/tcp/MbapReplyAssembler.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

using namespace vorn::modbus;
using Bytes = std::vector<uint8_t>;
using State = MbapReplyAssembler::State;

namespace {

Bytes frame(uint16_t transaction, uint8_t unit, const Bytes& pdu, uint16_t protocol = 0) {
    const size_t length = pdu.size() + 1;
    Bytes out{static_cast<uint8_t>(transaction >> 8),
              static_cast<uint8_t>(transaction),
              static_cast<uint8_t>(protocol >> 8),
              static_cast<uint8_t>(protocol),
              static_cast<uint8_t>(length >> 8),
              static_cast<uint8_t>(length),
              unit};
    out.insert(out.end(), pdu.begin(), pdu.end());
    return out;
}

const Bytes tenRegisters = [] {
    Bytes pdu{3, 20};
    for (uint8_t i = 0; i < 20; ++i)
        pdu.push_back(i);
    return pdu;
}();

} // namespace

TEST(MbapEncoder, ReadOfTenRegistersFramesWithRisingTransaction) {
    MbapEncoder encoder;
    const Bytes pdu = *readRequest(3, RegisterKind::kHoldingRegister, 100, 10);
    EXPECT_EQ(encoder.encode(1, pdu), (Bytes{0, 1, 0, 0, 0, 6, 1, 3, 0, 0x64, 0, 0x0A}));
    EXPECT_EQ(encoder.encode(1, pdu)->at(1), 2);
    EXPECT_EQ(encoder.lastTransactionId(), 2);
    EXPECT_FALSE(encoder.encode(1, Bytes{}));
    EXPECT_FALSE(encoder.encode(1, Bytes(254, 0)));
    EXPECT_EQ(encoder.encode(1, Bytes(253, 0))->size(), 260u);
}

TEST(MbapReplyAssembler, ReplySplitAcrossSegmentsCompletesOnlyWhenWhole) {
    const Bytes reply = frame(7, 1, tenRegisters);
    MbapReplyAssembler assembler;
    assembler.expect(7, 1);
    EXPECT_EQ(assembler.feed(std::span(reply).first(10)), State::waiting);
    EXPECT_TRUE(assembler.pdu().empty());
    EXPECT_EQ(assembler.feed(std::span(reply).subspan(10)), State::complete);
    EXPECT_EQ(Bytes(assembler.pdu().begin(), assembler.pdu().end()), tenRegisters);
}

TEST(MbapReplyAssembler, BytesTrickledOneAtATimeGiveTheSameReply) {
    const Bytes reply = frame(300, 9, tenRegisters);
    MbapReplyAssembler assembler;
    assembler.expect(300, 9);
    for (size_t i = 0; i < reply.size(); ++i) {
        const State state = assembler.feed(std::span(reply).subspan(i, 1));
        EXPECT_EQ(state, i + 1 == reply.size() ? State::complete : State::waiting) << i;
    }
    Bytes registers(20);
    EXPECT_EQ(checkReadReply(assembler.pdu(), 3, RegisterKind::kHoldingRegister, 10, registers), 0);
    EXPECT_EQ(registers[19], 19);
}

TEST(MbapReplyAssembler, LateReplyIsNotTakenForTheNextRequest) {
    MbapReplyAssembler assembler;
    assembler.expect(1, 1);
    const Bytes late = frame(1, 1, Bytes{3, 2, 0xDE, 0xAD});
    assembler.feed(std::span(late).first(5)); // request 1 timed out mid-reply
    assembler.expect(2, 1);
    Bytes stream(late.begin() + 5, late.end());
    const Bytes current = frame(2, 1, Bytes{3, 2, 0x00, 0x2A});
    stream.insert(stream.end(), current.begin(), current.end());
    EXPECT_EQ(assembler.feed(stream), State::complete);
    EXPECT_EQ(Bytes(assembler.pdu().begin(), assembler.pdu().end()), (Bytes{3, 2, 0x00, 0x2A}));
    EXPECT_EQ(assembler.droppedFrames(), 1u);

    assembler.expect(3, 1);
    EXPECT_EQ(assembler.feed(frame(2, 1, Bytes{3, 2, 0, 1})), State::waiting)
        << "a duplicate of the previous answer";
}

TEST(MbapReplyAssembler, WrongUnitOrProtocolIsMalformed) {
    MbapReplyAssembler assembler;
    assembler.expect(5, 1);
    EXPECT_EQ(assembler.feed(frame(5, 2, Bytes{3, 2, 0, 1})), State::failed);
    EXPECT_EQ(assembler.errorCode(), ErrorCode::kMalformedReply);
    EXPECT_FALSE(assembler.streamLost());
    assembler.expect(6, 1);
    EXPECT_EQ(assembler.feed(frame(6, 1, Bytes{3, 2, 0, 1})), State::complete);

    assembler.expect(7, 1);
    EXPECT_EQ(assembler.feed(frame(7, 1, Bytes{3, 2, 0, 1}, 1)), State::failed);
    EXPECT_TRUE(assembler.streamLost());
    assembler.expect(8, 1);
    EXPECT_EQ(assembler.feed(frame(8, 1, Bytes{3, 2, 0, 1})), State::failed);
    assembler.reset();
    assembler.expect(8, 1);
    EXPECT_EQ(assembler.feed(frame(8, 1, Bytes{3, 2, 0, 1})), State::complete);
}

TEST(MbapReplyAssembler, ExtremeLengthFieldsAreRejectedAtTheHeader) {
    for (const uint16_t length : {0, 1, 255, 256, 0x7FFF, 0xFFFF}) {
        MbapReplyAssembler assembler;
        assembler.expect(1, 1);
        Bytes header{0, 1, 0, 0, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length),
                     1};
        EXPECT_EQ(assembler.feed(header), State::failed) << length;
        EXPECT_EQ(assembler.errorCode(), ErrorCode::kMalformedReply);
        EXPECT_EQ(assembler.feed(Bytes(1000, 0x03)), State::failed);
    }
}

TEST(MbapReplyAssembler, EveryTruncationOfAHostileStreamStaysBounded) {
    // A valid header announcing 254 bytes, then 300 bytes of noise: every prefix either waits or
    // completes with a PDU no longer than what arrived after the header.
    Bytes stream{0, 1, 0, 0, 0, 254, 1};
    for (int i = 0; i < 300; ++i)
        stream.push_back(static_cast<uint8_t>(i * 37));
    for (size_t length = 0; length <= stream.size(); ++length) {
        MbapReplyAssembler assembler;
        assembler.expect(1, 1);
        const State state = assembler.feed(std::span(stream).first(length));
        EXPECT_EQ(state, length >= 260 ? State::complete : State::waiting) << length;
        EXPECT_EQ(assembler.streamLost(), length >= 267) << "noise after the reply";
        if (state == State::complete) {
            EXPECT_EQ(assembler.pdu().size(), 253u);
            Bytes destination(246);
            EXPECT_NE(checkReadReply(assembler.pdu(), 3, RegisterKind::kHoldingRegister, 123,
                                     destination),
                      0);
        }
    }
}

TEST(MbapReplyAssembler, RandomStreamsInRandomPiecesNeverOverrunOrHang) {
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245 + 12345;
        return static_cast<uint8_t>(seed >> 16);
    };
    for (int round = 0; round < 500; ++round) {
        MbapReplyAssembler assembler;
        assembler.expect(static_cast<uint16_t>(round % 4), 1);
        Bytes stream(next() + next());
        for (uint8_t& byte : stream)
            byte = next() % 4 == 0 ? 0 : next(); // plenty of zeros: plausible headers
        for (size_t at = 0; at < stream.size();) {
            const size_t piece = std::min<size_t>(1 + next() % 40, stream.size() - at);
            assembler.feed(std::span(stream).subspan(at, piece));
            at += piece;
        }
        EXPECT_LE(assembler.pdu().size(), 253u);
        Bytes destination(246);
        if (assembler.state() == State::complete)
            (void)checkReadReply( // must only stay inside its buffers
                assembler.pdu(), 3, RegisterKind::kHoldingRegister, 123, destination);
        if (assembler.state() == State::failed) {
            EXPECT_EQ(assembler.errorCode(), ErrorCode::kMalformedReply);
        }
    }
}
