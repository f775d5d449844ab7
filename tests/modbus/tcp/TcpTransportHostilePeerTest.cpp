// The TCP transport against a scripted raw peer on loopback: exact request bytes, replies cut
// into segments, late replies, replies from the wrong unit, a peer that hangs up, and replies of
// every length and shape. The transport must answer each with the right code, in bounded time.
#include "ScriptedPeer.h"
#include "modbus/ErrorCodes.h"
#include "modbus/RegisterKind.h"
#include "modbus/ReplyPdu.h"
#include "modbus/tcp/TcpTransport.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <random>
#include <set>
#include <thread>

namespace vorn::modbus {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::PeerStep;
using test::ScriptedPeer;
using Clock = std::chrono::steady_clock;

constexpr uint8_t readHolding = 3;
const Bytes tenRegisters{0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8, 0, 9, 0, 10};

DeviceEntry peerDevice(const ScriptedPeer& peer, uint32_t timeoutMs) {
    DeviceEntry device;
    device.address = "127.0.0.1";
    device.tcpPort = peer.port();
    device.unitId = 1;
    device.timeoutMs = timeoutMs;
    return device;
}

// A well-behaved answer to a read of registers: `data` from unit 1.
Bytes readReply(const Bytes& request, const Bytes& data) {
    return test::replyFrame(request, 1, test::readReplyPdu(readHolding, data));
}

int readTen(TcpTransport& transport, Bytes& data) {
    data.assign(tenRegisters.size(), 0xEE);
    return transport.readRegisters(readHolding, RegisterKind::kHoldingRegister, 10, 100, data);
}

TEST(TcpTransportFrames, RequestCarriesTheMbapHeaderWithARisingTransactionId) {
    ScriptedPeer peer([](const Bytes& request, int) {
        return std::vector<PeerStep>{{0ms, readReply(request, tenRegisters)}};
    });
    TcpTransport transport;
    ASSERT_EQ(transport.start({peerDevice(peer, 1000)}), 0);
    ASSERT_EQ(transport.selectDevice(1), 0);

    Bytes data;
    ASSERT_EQ(readTen(transport, data), 0);
    EXPECT_EQ(data, tenRegisters);
    ASSERT_EQ(readTen(transport, data), 0);

    const auto requests = peer.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0],
              (Bytes{0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x64, 0x00, 0x0A}));
    EXPECT_EQ(requests[1][0], 0x00);
    EXPECT_EQ(requests[1][1], 0x02);
}

TEST(TcpTransportFrames, ReplySplitIntoSegmentsIsReadToTheEndOfItsLength) {
    ScriptedPeer peer([](const Bytes& request, int number) {
        const Bytes reply = readReply(request, tenRegisters);
        if (number == 0) // header and half the data, then the rest
            return std::vector<PeerStep>{{0ms, Bytes(reply.begin(), reply.begin() + 15)},
                                         {60ms, Bytes(reply.begin() + 15, reply.end())}};
        return test::trickled(reply, 3ms);
    });
    TcpTransport transport;
    ASSERT_EQ(transport.start({peerDevice(peer, 2000)}), 0);
    ASSERT_EQ(transport.selectDevice(1), 0);

    Bytes data;
    EXPECT_EQ(readTen(transport, data), 0);
    EXPECT_EQ(data, tenRegisters);
    EXPECT_EQ(readTen(transport, data), 0); // 29 segments of one byte
    EXPECT_EQ(data, tenRegisters);
}

TEST(TcpTransportFrames, DeviceTimeoutCoversTheWholeReplyNotEachSegment) {
    ScriptedPeer peer([](const Bytes& request, int) {
        return test::trickled(readReply(request, tenRegisters), 40ms); // about 1.2 s in all
    });
    TcpTransport transport;
    ASSERT_EQ(transport.start({peerDevice(peer, 300)}), 0);
    ASSERT_EQ(transport.selectDevice(1), 0);

    Bytes data;
    const auto start = Clock::now();
    EXPECT_EQ(readTen(transport, data), ErrorCode::kNoReply);
    EXPECT_LT(Clock::now() - start, 700ms);
}

TEST(TcpTransportLateReplies, LateReplyIsNotTakenForTheAnswerToTheNextRequest) {
    const Bytes stale(20, 0x66);
    // The first request is answered after the transport stopped waiting; the others at once.
    ScriptedPeer peer([&](const Bytes& request, int number) {
        if (number == 0)
            return std::vector<PeerStep>{{450ms, readReply(request, stale)}};
        return std::vector<PeerStep>{{0ms, readReply(request, tenRegisters)}};
    });
    TcpTransport transport;
    ASSERT_EQ(transport.start({peerDevice(peer, 300)}), 0);
    ASSERT_EQ(transport.selectDevice(1), 0);

    Bytes data;
    EXPECT_EQ(readTen(transport, data), ErrorCode::kNoReply);
    // Sent while the late reply is still on its way: it arrives while this reply is awaited.
    EXPECT_EQ(readTen(transport, data), 0);
    EXPECT_EQ(data, tenRegisters);
    EXPECT_EQ(peer.requests().size(), 2u);
}

TEST(TcpTransportLateReplies, BytesWaitingBeforeARequestAreDiscarded) {
    const Bytes wrong(20, 0x99);
    // After the first answer the peer sends, unasked, a frame that carries the transaction id
    // the next request will have; the answer to that request comes a little later.
    ScriptedPeer peer([&](const Bytes& request, int number) {
        if (number == 0) {
            Bytes nextId = request;
            nextId[1] = static_cast<uint8_t>(nextId[1] + 1);
            return std::vector<PeerStep>{{0ms, readReply(request, tenRegisters)},
                                         {20ms, readReply(nextId, wrong)}};
        }
        return std::vector<PeerStep>{{50ms, readReply(request, tenRegisters)}};
    });
    TcpTransport transport;
    ASSERT_EQ(transport.start({peerDevice(peer, 1000)}), 0);
    ASSERT_EQ(transport.selectDevice(1), 0);

    Bytes data;
    ASSERT_EQ(readTen(transport, data), 0);
    std::this_thread::sleep_for(150ms); // the unasked frame is waiting now
    EXPECT_EQ(readTen(transport, data), 0);
    EXPECT_EQ(data, tenRegisters);
}

TEST(TcpTransportBadReplies, ReplyFromAnotherUnitOrForAnotherFunctionIsMalformed) {
    ScriptedPeer peer([](const Bytes& request, int number) {
        switch (number) {
        case 0: // another unit
            return std::vector<PeerStep>{
                {0ms, test::replyFrame(request, 2, test::readReplyPdu(3, tenRegisters))}};
        case 1: // another function
            return std::vector<PeerStep>{
                {0ms, test::replyFrame(request, 1, test::readReplyPdu(4, tenRegisters))}};
        case 2: // one data byte short, with a consistent header
            return std::vector<PeerStep>{
                {0ms, test::replyFrame(request, 1, test::readReplyPdu(3, Bytes(19, 1)))}};
        case 3: // an exception from another unit
            return std::vector<PeerStep>{{0ms, test::replyFrame(request, 2, Bytes{0x83, 2})}};
        default:
            return std::vector<PeerStep>{{0ms, readReply(request, tenRegisters)}};
        }
    });
    TcpTransport transport;
    ASSERT_EQ(transport.start({peerDevice(peer, 1000)}), 0);
    ASSERT_EQ(transport.selectDevice(1), 0);

    Bytes data;
    for (int attempt = 0; attempt < 4; ++attempt)
        EXPECT_EQ(readTen(transport, data), ErrorCode::kMalformedReply) << attempt;
    EXPECT_EQ(readTen(transport, data), 0); // the connection stays usable
    EXPECT_EQ(data, tenRegisters);
    EXPECT_EQ(peer.connections(), 1);
}

TEST(TcpTransportConnections, ConnectionClosedOrResetByThePeerIsReopenedAtTheNextSelection) {
    ScriptedPeer peer([](const Bytes& request, int number) {
        if (number == 0)
            return std::vector<PeerStep>{{0ms, {}, true}};
        if (number == 1)
            return std::vector<PeerStep>{{0ms, {}, false, true}};
        return std::vector<PeerStep>{{0ms, readReply(request, tenRegisters)}};
    });
    TcpTransport transport;
    ASSERT_EQ(transport.start({peerDevice(peer, 1000)}), 0);

    Bytes data;
    for (int lost = 0; lost < 2; ++lost) { // an orderly close, then a reset
        ASSERT_EQ(transport.selectDevice(1), 0);
        EXPECT_EQ(readTen(transport, data), ErrorCode::kConnectionLost) << lost;
        EXPECT_FALSE(transport.isConnected(1));
        EXPECT_EQ(readTen(transport, data), ErrorCode::kNotConnected);
    }
    ASSERT_EQ(transport.selectDevice(1), 0);
    EXPECT_EQ(readTen(transport, data), 0);
    EXPECT_EQ(data, tenRegisters);
    EXPECT_EQ(peer.connections(), 3);
    EXPECT_EQ(peer.requests().size(), 3u);
}

TEST(TcpTransportConnections, ConnectThatIsNotAnsweredGivesUpAfterOneSecond) {
    test::UnansweredListener unanswered;
    DeviceEntry device;
    device.address = "127.0.0.1";
    device.tcpPort = unanswered.port();
    const std::vector<DeviceEntry> sameDevice{device};

    TcpTransport transport;
    ASSERT_EQ(transport.start(sameDevice), 0);
    const auto start = Clock::now();
    EXPECT_EQ(transport.selectDevice(1), ErrorCode::kConnectFailed);
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, 950ms);
    EXPECT_LT(elapsed, 1500ms);
}

// Replies of every length from 0 to 300 bytes, with consistent, wrong and extreme MBAP length
// fields, wrong protocol, unit and function, sent whole or trickled, exception replies. Whatever
// comes, the read ends within the device timeout with a code, and succeeds only for a reply that is
// right.
TEST(TcpTransportBadReplies, HostileRepliesNeverCrashOrHang) {
    constexpr uint32_t timeoutMs = 50;
    std::mt19937 random(20261208);
    std::mutex mutex; // guards lastReply, written by the peer's thread
    Bytes lastReply;  // what the peer sent for the request in hand
    ScriptedPeer peer([&](const Bytes& request, int number) {
        std::lock_guard lock(mutex);
        const size_t length = static_cast<size_t>(number) % 301;
        const int shape = number / 301;
        Bytes reply = readReply(request, tenRegisters);
        reply.resize(std::max<size_t>(length, 1));
        for (size_t i = 9; i < reply.size(); ++i)
            reply[i] = static_cast<uint8_t>(random());
        uint16_t lengthField = static_cast<uint16_t>(length >= 6 ? length - 6 : 0);
        switch (shape) {
        case 1: // wrong or extreme length fields
            lengthField = std::array<uint16_t, 6>{
                0, 1, 2, 255, 0xFFFF, static_cast<uint16_t>(random())}[length % 6];
            break;
        case 2: // wrong protocol, unit, function or byte count
            if (reply.size() > 8)
                reply[std::array<size_t, 4>{2, 6, 7, 8}[length % 4]] ^= 0x5A;
            break;
        case 4: // exception replies with any exception code
            if (reply.size() > 8) {
                reply[7] |= 0x80;
                reply[8] = static_cast<uint8_t>(random() % 5);
            }
            break;
        default:
            break;
        }
        if (reply.size() > 5) {
            reply[4] = static_cast<uint8_t>(lengthField >> 8);
            reply[5] = static_cast<uint8_t>(lengthField & 0xFF);
        }
        reply.resize(length);
        lastReply = reply;
        if (shape == 3)
            return test::trickled(reply, 0ms);
        return std::vector<PeerStep>{{0ms, reply}};
    });
    TcpTransport transport;
    ASSERT_EQ(transport.start({peerDevice(peer, timeoutMs)}), 0);

    const std::set<int> allowed{0,
                                ErrorCode::kConnectionLost,
                                ErrorCode::kNoReply,
                                ErrorCode::kMalformedReply,
                                ErrorCode::kIllegalDataAddress,
                                ErrorCode::kIllegalFunction,
                                ErrorCode::kIllegalDataValue,
                                ErrorCode::kOtherException};
    int successes = 0;
    for (int round = 0; round < 5 * 301; ++round) {
        // A fresh connection per round, so that each reply is judged on its own.
        EXPECT_EQ(transport.releaseDevice(1), ErrorCode::kSuccess);
        ASSERT_EQ(transport.selectDevice(1), 0) << round;
        const size_t requestsBefore = peer.requests().size();
        Bytes data;
        const auto start = Clock::now();
        const int code = readTen(transport, data);
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(timeoutMs + 500)) << round;
        ASSERT_TRUE(allowed.count(code)) << "round " << round << " code " << code;
        if (peer.requests().size() != requestsBefore + 1)
            continue;
        std::lock_guard lock(mutex);
        const size_t length = lastReply.size();
        if (round / 301 == 4 && length >= 9 && length <= 260) { // a whole exception reply
            EXPECT_EQ(code, exceptionErrorCode(lastReply[8])) << round;
        }
        if (code != 0)
            continue;
        ++successes;
        ASSERT_GE(lastReply.size(), 29u) << round;
        EXPECT_EQ((Bytes{lastReply[4], lastReply[5], lastReply[6], lastReply[7], lastReply[8]}),
                  (Bytes{0, 23, 1, readHolding, 20}))
            << round;
        EXPECT_EQ(data, Bytes(lastReply.begin() + 9, lastReply.begin() + 29)) << round;
    }
    EXPECT_GE(successes, 1); // the well-formed replies among them were taken
}

} // namespace
} // namespace vorn::modbus
