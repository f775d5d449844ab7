// The serial transport on a pseudo-terminal line, with the test playing the device: frames
// checked byte for byte where they arrive, and answers good, wrong, late, hostile or missing.
#include "RtuLine.h"
#include "modbus/ErrorCodes.h"
#include "modbus/RegisterKind.h"

#include <atomic>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace vorn::test {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
namespace ErrorCode = modbus::ErrorCode;
constexpr uint8_t holding = modbus::RegisterKind::kHoldingRegister;

// Reads 2 holding registers at 0 in the background; the test answers as the device.
std::future<int> readTwo(modbus::RtuTransport& rtu, Bytes& destination) {
    return std::async(std::launch::async,
                      [&] { return rtu.readRegisters(3, holding, 2, 0, destination); });
}

const Bytes readTwoAtZeroOfUnit17 = {0x11, 0x03, 0x00, 0x00, 0x00, 0x02, 0xC6, 0x9B};

TEST(RtuTransport, ReadSendsTheFrameAndTakesTheDataOfAFullAnswer) {
    RtuLine line;
    auto& rtu = line.transport({rtuDevice(17, 1000)});
    ASSERT_EQ(rtu.selectDevice(1), 0);
    Bytes destination(4, 0xEE);
    auto result = readTwo(rtu, destination);
    EXPECT_EQ(line.device.receive(8, 2s), readTwoAtZeroOfUnit17);
    // The transport waits for 9 bytes: the answer comes in two pieces within the gap.
    const Bytes reply = withCrc({0x11, 0x03, 0x04, 0x12, 0x34, 0x56, 0x78});
    line.device.send(Bytes(reply.begin(), reply.begin() + 4));
    std::this_thread::sleep_for(20ms);
    line.device.send(Bytes(reply.begin() + 4, reply.end()));
    EXPECT_EQ(result.get(), 0);
    EXPECT_EQ(destination, (Bytes{0x12, 0x34, 0x56, 0x78}));

    // A destination too small for the data is refused before anything is sent.
    Bytes small(3);
    EXPECT_EQ(rtu.readRegisters(3, holding, 2, 0, small), ErrorCode::kSendFailed);
    EXPECT_TRUE(line.device.receive(1, 100ms).empty());
}

TEST(RtuTransport, WritesSendTheirFramesAndCheckTheEchoes) {
    RtuLine line;
    auto& rtu = line.transport({rtuDevice(1, 500)});
    ASSERT_EQ(rtu.selectDevice(1), 0);
    const Bytes data{0x41, 0x48, 0x00, 0x07};
    const Bytes multiple =
        withCrc({0x01, 0x10, 0x00, 0x0A, 0x00, 0x02, 0x04, 0x41, 0x48, 0x00, 0x07});
    const Bytes single = withCrc({0x01, 0x05, 0x00, 0x03, 0xFF, 0x00});
    struct Case {
        Bytes reply;
        int multipleCode;
    };
    for (const Case& c : {Case{withCrc({0x01, 0x10, 0x00, 0x0A, 0x00, 0x02}), 0},
                          Case{withCrc({0x01, 0x10, 0x00, 0x0B, 0x00, 0x02}), 48},
                          Case{withCrc({0x01, 0x10, 0x00, 0x0A, 0x00, 0x01}), 64},
                          Case{withCrc({0x01, 0x90, 0x02}), 65}}) {
        auto result = std::async(std::launch::async,
                                 [&] { return rtu.writeMultiple(16, holding, 2, 10, data); });
        EXPECT_EQ(line.device.receive(multiple.size(), 2s), multiple);
        line.device.send(c.reply);
        EXPECT_EQ(result.get(), c.multipleCode);
    }
    for (const auto& [reply, code] :
         {std::pair{single, 0}, std::pair{withCrc({0x01, 0x05, 0x00, 0x03, 0x00, 0x00}), 48}}) {
        auto result = std::async(std::launch::async, [&] {
            return rtu.writeSingle(5, modbus::RegisterKind::kCoil, 3, 0xFF, 0x00);
        });
        EXPECT_EQ(line.device.receive(8, 2s), single);
        line.device.send(reply);
        EXPECT_EQ(result.get(), code);
    }
}

TEST(RtuTransport, WrongAnswersGiveTheirCodesAndDeliverNothing) {
    RtuLine line;
    auto& rtu = line.transport({rtuDevice(17, 500)});
    ASSERT_EQ(rtu.selectDevice(1), 0);
    Bytes damaged = withCrc({0x11, 0x03, 0x04, 0x12, 0x34, 0x56, 0x78});
    damaged.back() ^= 0x01;
    struct Case {
        const char* what;
        Bytes reply;
        int code;
    };
    for (const Case& c : {
             Case{"exception 2", withCrc({0x11, 0x83, 0x02}), 65},
             Case{"exception 1", withCrc({0x11, 0x83, 0x01}), 66},
             Case{"exception 3", withCrc({0x11, 0x83, 0x03}), 68},
             Case{"exception 4", withCrc({0x11, 0x83, 0x04}), 69},
             Case{"damaged last byte", damaged, 49},
             Case{"another unit", withCrc({0x12, 0x03, 0x04, 0x12, 0x34, 0x56, 0x78}), 48},
             Case{"another function", withCrc({0x11, 0x04, 0x04, 0x12, 0x34, 0x56, 0x78}), 48},
             Case{"byte count 0", withCrc({0x11, 0x03, 0x00}), 65},
             Case{"fewer data than asked", withCrc({0x11, 0x03, 0x02, 0x12, 0x34}), 48},
             Case{"byte count beyond the frame", withCrc({0x11, 0x03, 0xFA, 0x12, 0x34}), 48},
             Case{"four bytes", {0x11, 0x03, 0x04, 0x12}, 2},
         }) {
        Bytes destination(4, 0xEE);
        auto result = readTwo(rtu, destination);
        EXPECT_EQ(line.device.receive(8, 2s).size(), 8u) << c.what;
        line.device.send(c.reply);
        EXPECT_EQ(result.get(), c.code) << c.what;
        EXPECT_EQ(destination, Bytes(4, 0xEE)) << c.what;
    }
}

TEST(RtuTransport, NoAnswerClosesThePortUntilTheNextSelection) {
    RtuLine line;
    auto& rtu = line.transport({rtuDevice(17, 200)});
    ASSERT_EQ(rtu.selectDevice(1), 0);
    Bytes destination(4);
    const auto sent = std::chrono::steady_clock::now();
    EXPECT_EQ(rtu.readRegisters(3, holding, 2, 0, destination), ErrorCode::kNoReply);
    EXPECT_GE(std::chrono::steady_clock::now() - sent, 200ms);
    EXPECT_EQ(line.device.receive(8, 1s), readTwoAtZeroOfUnit17);

    // Closed: nothing reaches the line until the device is selected again.
    EXPECT_EQ(rtu.readRegisters(3, holding, 2, 0, destination), ErrorCode::kSendFailed);
    EXPECT_TRUE(line.device.receive(1, 100ms).empty());
    ASSERT_EQ(rtu.selectDevice(1), 0);
    auto result = readTwo(rtu, destination);
    EXPECT_EQ(line.device.receive(8, 2s), readTwoAtZeroOfUnit17);
    line.device.send(withCrc({0x11, 0x03, 0x04, 0, 1, 0, 2}));
    EXPECT_EQ(result.get(), 0);
}

TEST(RtuTransport, APortThatCannotBeOpenedFailsSelectionAndTransfers) {
    RtuLine line;
    line.ports.addIfAbsent(portSettings("COM2"));
    line.registry.writeString(modbus::portsRegistryKey, "COM2", line.scratch.file("no-such-tty"));
    auto& rtu = line.transport({rtuDevice(1, 200, 0, "COM2"), rtuDevice(2, 200, 0, "COM9")});
    Bytes destination(4);
    EXPECT_EQ(rtu.selectDevice(1), ErrorCode::kPortUnavailable);
    EXPECT_EQ(rtu.readRegisters(3, holding, 2, 0, destination), ErrorCode::kSendFailed);
    EXPECT_EQ(rtu.writeSingle(6, holding, 0, 0, 1), ErrorCode::kSendFailed);
    EXPECT_EQ(rtu.selectDevice(2), ErrorCode::kPortUnavailable); // a port nobody configured
    EXPECT_EQ(rtu.selectDevice(3), ErrorCode::kPortUnavailable); // no such device
    EXPECT_EQ(rtu.readRegisters(3, holding, 2, 0, destination), ErrorCode::kPortUnavailable);
}

TEST(RtuTransport, DevicesSharingAPortKeepItsLineButTheirOwnTimeoutAndSilence) {
    RtuLine line(portSettings("COM1", 19200, 2));
    line.ports.addIfAbsent(portSettings("COM1", 4800, 1)); // a later device's settings
    auto& rtu = line.transport({rtuDevice(1, 150, 120), rtuDevice(2, 600, 0)});
    ASSERT_EQ(rtu.selectDevice(1), 0);
    ASSERT_EQ(rtu.selectDevice(2), 0); // the open port is kept
    termios applied{};
    const int observer = open(line.pty.endA().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_EQ(tcgetattr(observer, &applied), 0);
    close(observer);
    EXPECT_EQ(cfgetospeed(&applied), B19200);
    EXPECT_TRUE(applied.c_cflag & CSTOPB);

    // Each device waits for its own timeout.
    Bytes destination(4);
    for (auto [index, timeout] : {std::pair{2, 600ms}, std::pair{1, 150ms}}) {
        ASSERT_EQ(rtu.selectDevice(static_cast<uint16_t>(index)), 0);
        const auto sent = std::chrono::steady_clock::now();
        EXPECT_EQ(rtu.readRegisters(3, holding, 2, 0, destination), ErrorCode::kNoReply);
        const auto waited = std::chrono::steady_clock::now() - sent;
        EXPECT_GE(waited, timeout) << index;
        EXPECT_LT(waited, timeout + 300ms) << index;
        line.device.receive(8, 1s);
        std::this_thread::sleep_for(timeout); // past the wait for a late answer
    }

    // Device 1 keeps 120 ms of silence before every request, answered or not.
    ASSERT_EQ(rtu.selectDevice(1), 0);
    auto answered = std::chrono::steady_clock::now();
    for (int round = 0; round < 3; ++round) {
        auto result = readTwo(rtu, destination);
        EXPECT_EQ(line.device.receive(8, 2s).size(), 8u);
        if (round > 0) {
            EXPECT_GE(line.device.lastArrival() - answered, 120ms) << round;
        }
        line.device.send(withCrc({0x01, 0x03, 0x04, 0, 0, 0, 0}));
        answered = std::chrono::steady_clock::now();
        EXPECT_EQ(result.get(), 0);
    }
}

TEST(RtuTransport, LateRestOfAnAnswerIsNotTakenForTheNextOne) {
    RtuLine line;
    auto& rtu = line.transport({rtuDevice(17, 300)});
    ASSERT_EQ(rtu.selectDevice(1), 0);
    Bytes destination(4);
    const Bytes stale = withCrc({0x11, 0x03, 0x04, 0xAA, 0xAA, 0xAA, 0xAA});
    auto first = readTwo(rtu, destination);
    line.device.receive(8, 2s);
    line.device.send(Bytes(stale.begin(), stale.begin() + 3));
    EXPECT_EQ(first.get(), ErrorCode::kReceiveFailed); // the gap ended the answer
    line.device.send(Bytes(stale.begin() + 3, stale.end()));
    std::this_thread::sleep_for(100ms);

    auto second = readTwo(rtu, destination);
    EXPECT_EQ(line.device.receive(8, 2s), readTwoAtZeroOfUnit17);
    line.device.send(withCrc({0x11, 0x03, 0x04, 0x00, 0x01, 0x00, 0x02}));
    EXPECT_EQ(second.get(), 0);
    EXPECT_EQ(destination, (Bytes{0x00, 0x01, 0x00, 0x02}));
}

TEST(RtuTransport, AnAnswerLaterThanTheTimeoutIsNotTakenForTheNextRequest) {
    RtuLine line;
    auto& rtu = line.transport({rtuDevice(17, 300)});
    ASSERT_EQ(rtu.selectDevice(1), 0);
    Bytes destination(4);
    auto first = readTwo(rtu, destination);
    ASSERT_EQ(line.device.receive(8, 2s), readTwoAtZeroOfUnit17);
    // The device answers the first request after 450 ms, 150 ms past its timeout.
    std::thread slowDevice([&] {
        std::this_thread::sleep_for(450ms);
        line.device.send(withCrc({0x11, 0x03, 0x04, 0xAA, 0xAA, 0xAA, 0xAA}));
    });
    EXPECT_EQ(first.get(), ErrorCode::kNoReply);

    ASSERT_EQ(rtu.selectDevice(1), 0); // the engine selects the device again at once
    auto second = std::async(std::launch::async,
                             [&] { return rtu.readRegisters(3, holding, 2, 500, destination); });
    const Bytes request = line.device.receive(8, 2s);
    slowDevice.join();
    ASSERT_EQ(request.size(), 8u);
    EXPECT_EQ(request[3], 0xF4) << "the request for register 500";
    line.device.send(withCrc({0x11, 0x03, 0x04, 0x00, 0x05, 0x00, 0x06}));
    EXPECT_EQ(second.get(), 0);
    EXPECT_EQ(destination, (Bytes{0x00, 0x05, 0x00, 0x06})) << "not the late answer's AA AA";
}

TEST(RtuTransport, StoppingEndsEveryWaitOfTheLineAtOnce) {
    RtuLine line;
    auto& rtu = line.transport({rtuDevice(17, 100000)});
    ASSERT_EQ(rtu.selectDevice(1), 0);
    Bytes destination(4);
    auto waiting = readTwo(rtu, destination);
    ASSERT_EQ(line.device.receive(8, 2s).size(), 8u);
    const auto stoppedAt = std::chrono::steady_clock::now();
    rtu.stop();
    ASSERT_EQ(waiting.wait_for(2s), std::future_status::ready);
    EXPECT_NE(waiting.get(), 0);
    // The late-reply wait and the silent interval end at once too.
    EXPECT_NE(rtu.readRegisters(3, holding, 2, 0, destination), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - stoppedAt, 1s);
}

TEST(RtuTransport, HostileFarEndNeitherCrashesNorHangsTheTransport) {
    RtuLine line;
    auto& rtu = line.transport({rtuDevice(17, 200)});
    ASSERT_EQ(rtu.selectDevice(1), 0);
    Bytes destination(4, 0xEE);

    // Garbage, longer than any frame.
    Bytes garbage(600);
    for (size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<uint8_t>(i * 37 + 11);
    auto result = readTwo(rtu, destination);
    line.device.receive(8, 2s);
    line.device.send(garbage);
    EXPECT_NE(result.get(), 0);
    std::this_thread::sleep_for(100ms); // the rest of the garbage is on the line by now

    // A valid answer with more behind it: the frame is taken, the rest dropped before the next.
    Bytes overlong = withCrc({0x11, 0x03, 0x04, 0x12, 0x34, 0x56, 0x78});
    overlong.insert(overlong.end(), garbage.begin(), garbage.begin() + 40);
    result = readTwo(rtu, destination);
    line.device.receive(8, 2s);
    line.device.send(overlong);
    EXPECT_EQ(result.get(), 0);
    EXPECT_EQ(destination, (Bytes{0x12, 0x34, 0x56, 0x78}));

    // Bytes trickled just inside the gap, without end: the answer is cut off in bounded time
    // (the timeout plus the line time of the longest answer, 245 bytes at 9600 baud).
    std::atomic<bool> trickling = true;
    Bytes large(240);
    result = std::async(std::launch::async,
                        [&] { return rtu.readRegisters(3, holding, 120, 0, large); });
    line.device.receive(8, 2s);
    std::thread trickle([&] {
        for (int i = 0; i < 100 && trickling; ++i) {
            line.device.send({0x11});
            std::this_thread::sleep_for(30ms);
        }
    });
    const auto sent = std::chrono::steady_clock::now();
    EXPECT_EQ(result.wait_for(3s), std::future_status::ready);
    EXPECT_LT(std::chrono::steady_clock::now() - sent, 1s);
    EXPECT_NE(result.get(), 0);
    trickling = false;
    trickle.join();
    EXPECT_EQ(destination, (Bytes{0x12, 0x34, 0x56, 0x78}));
}

} // namespace
} // namespace vorn::test
