// The TCP transport against the device simulator on loopback: what it sends reaches the device
// as meant (checked in the simulator's request log), and the device's answers come back.
#include "RequestLogRecords.h"
#include "ScratchDir.h"
#include "ScriptedPeer.h"
#include "SimProcess.h"
#include "modbus/ErrorCodes.h"
#include "modbus/RegisterKind.h"
#include "modbus/tcp/TcpTransport.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>

namespace vorn::modbus {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using Clock = std::chrono::steady_clock;

DeviceEntry deviceAt(uint16_t port, uint8_t unit = 1, uint32_t timeoutMs = 1000) {
    DeviceEntry device;
    device.address = "127.0.0.1";
    device.tcpPort = port;
    device.unitId = unit;
    device.timeoutMs = timeoutMs;
    return device;
}

long long millisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class TcpTransportWithSim : public ::testing::Test {
protected:
    void startSim(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--tcp", "127.0.0.1:0", "--log", logPath()});
        sim_ = std::make_unique<test::SimProcess>(MODBUS_SIM_PATH, arguments);
    }
    std::string logPath() const { return scratch_.file("requests.log"); }
    std::vector<test::LoggedRequest> logged() const { return test::readRequestLog(logPath()); }
    uint16_t simPort() const { return static_cast<uint16_t>(sim_->port()); }

    test::ScratchDir scratch_;
    std::unique_ptr<test::SimProcess> sim_;
    TcpTransport transport_;
};

TEST_F(TcpTransportWithSim, ReadsHoldingRegistersFromTheDevice) {
    startSim({"--unit", "1", "--set", "hr:100..109=7", "--set", "hr:100=0x1234", "--set",
              "hr:109=0xABCD"});
    ASSERT_EQ(transport_.start({deviceAt(simPort())}), 0);
    ASSERT_EQ(transport_.selectDevice(1), 0);

    Bytes data(20, 0xEE);
    ASSERT_EQ(transport_.readRegisters(3, RegisterKind::kHoldingRegister, 10, 100, data), 0);
    EXPECT_EQ(data,
              (Bytes{0x12, 0x34, 0, 7, 0, 7, 0, 7, 0, 7, 0, 7, 0, 7, 0, 7, 0, 7, 0xAB, 0xCD}));

    const auto requests = logged();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].unit, 1);
    EXPECT_EQ(requests[0].function, 3);
    EXPECT_EQ(requests[0].start, 100);
    EXPECT_EQ(requests[0].count, 10);
}

TEST_F(TcpTransportWithSim, WritesReachTheDeviceAndReadBack) {
    startSim({"--unit", "17"});
    ASSERT_EQ(transport_.start({deviceAt(simPort(), 17)}), 0);
    ASSERT_EQ(transport_.selectDevice(1), 0);

    const Bytes registers{0x41, 0x48, 0x00, 0x01};
    EXPECT_EQ(transport_.writeMultiple(16, RegisterKind::kHoldingRegister, 2, 10, registers), 0);
    EXPECT_EQ(transport_.writeSingle(6, RegisterKind::kHoldingRegister, 20, 0xBE, 0xEF), 0);
    EXPECT_EQ(transport_.writeSingle(5, RegisterKind::kCoil, 3, 0xFF, 0x00), 0);
    const Bytes coils{0x05, 0x02}; // coils 8 and 10 on, then coil 17
    EXPECT_EQ(transport_.writeMultiple(15, RegisterKind::kCoil, 10, 8, coils), 0);

    Bytes readBack(4);
    ASSERT_EQ(transport_.readRegisters(3, RegisterKind::kHoldingRegister, 2, 10, readBack), 0);
    EXPECT_EQ(readBack, registers);
    Bytes single(2);
    ASSERT_EQ(transport_.readRegisters(3, RegisterKind::kHoldingRegister, 1, 20, single), 0);
    EXPECT_EQ(single, (Bytes{0xBE, 0xEF}));
    Bytes coilBits(2);
    ASSERT_EQ(transport_.readRegisters(1, RegisterKind::kCoil, 15, 3, coilBits), 0);
    // Coil 3 is bit 0; coils 8, 10 and 17 are bits 5, 7 and 14.
    EXPECT_EQ(coilBits, (Bytes{0xA1, 0x40}));

    const auto requests = logged();
    ASSERT_EQ(requests.size(), 7u);
    EXPECT_EQ(requests[0].data, registers);
    EXPECT_EQ(requests[1].data, (Bytes{0xBE, 0xEF}));
    EXPECT_EQ(requests[2].data, (Bytes{0xFF, 0x00}));
    EXPECT_EQ(requests[3].data, coils);
    EXPECT_EQ(requests[3].count, 10);
}

TEST_F(TcpTransportWithSim, ExceptionRepliesGiveTheirCodesAndKeepTheConnection) {
    startSim({"--unit", "1", "--exception", "1:3:2", "--exception", "1:4:1", "--exception",
              "1:16:3", "--exception", "1:6:4"});
    ASSERT_EQ(transport_.start({deviceAt(simPort())}), 0);
    ASSERT_EQ(transport_.selectDevice(1), 0);

    Bytes data(4);
    EXPECT_EQ(transport_.readRegisters(3, RegisterKind::kHoldingRegister, 2, 0, data),
              ErrorCode::kIllegalDataAddress);
    EXPECT_EQ(transport_.readRegisters(4, RegisterKind::kInputRegister, 2, 0, data),
              ErrorCode::kIllegalFunction);
    EXPECT_EQ(transport_.writeMultiple(16, RegisterKind::kHoldingRegister, 2, 0, data),
              ErrorCode::kIllegalDataValue);
    EXPECT_EQ(transport_.writeSingle(6, RegisterKind::kHoldingRegister, 0, 0, 1),
              ErrorCode::kOtherException);
    EXPECT_TRUE(transport_.isConnected(1));
    EXPECT_EQ(transport_.readRegisters(1, RegisterKind::kCoil, 16, 0, data), 0);
}

TEST_F(TcpTransportWithSim, RefusedDeviceFailsWithinASecondAndItsTransfersReachNoOtherDevice) {
    startSim({"--unit", "1"});
    test::RefusingPort refusing;
    ASSERT_EQ(transport_.start({deviceAt(simPort()), deviceAt(refusing.port())}), 0);
    ASSERT_EQ(transport_.selectDevice(1), 0); // the other device's connection stays open

    const auto start = Clock::now();
    EXPECT_EQ(transport_.selectDevice(2), ErrorCode::kConnectFailed);
    EXPECT_LT(millisecondsSince(start), 1500);
    EXPECT_EQ(transport_.currentDevice(), 2);

    const Bytes data{0, 1};
    Bytes destination(2);
    EXPECT_EQ(transport_.writeMultiple(16, RegisterKind::kHoldingRegister, 1, 5, data),
              ErrorCode::kNotConnected);
    EXPECT_EQ(transport_.writeSingle(6, RegisterKind::kHoldingRegister, 5, 0, 1),
              ErrorCode::kNotConnected);
    EXPECT_EQ(transport_.readRegisters(3, RegisterKind::kHoldingRegister, 1, 5, destination),
              ErrorCode::kNotConnected);
    EXPECT_TRUE(logged().empty());

    ASSERT_EQ(transport_.selectDevice(1), 0);
    EXPECT_EQ(transport_.readRegisters(3, RegisterKind::kHoldingRegister, 1, 5, destination), 0);
    EXPECT_EQ(logged().size(), 1u);
}

TEST_F(TcpTransportWithSim, SilentDeviceGivesNoReplyAfterItsTimeoutAndKeepsItsConnection) {
    startSim({"--unit", "1", "--silent", "1"});
    ASSERT_EQ(transport_.start({deviceAt(simPort(), 1, 300)}), 0);
    ASSERT_EQ(transport_.selectDevice(1), 0);

    Bytes data(2);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto start = Clock::now();
        EXPECT_EQ(transport_.readRegisters(3, RegisterKind::kHoldingRegister, 1, 0, data),
                  ErrorCode::kNoReply);
        const auto elapsed = millisecondsSince(start);
        EXPECT_GE(elapsed, 290);
        EXPECT_LT(elapsed, 900);
        EXPECT_TRUE(transport_.isConnected(1));
    }
    EXPECT_EQ(test::waitForRequests(logPath(), 2, 1s).size(), 2u);
}

TEST_F(TcpTransportWithSim, ReleasedDeviceIsReopenedOnlyAtItsNextSelection) {
    startSim({"--unit", "1"});
    ASSERT_EQ(transport_.start({deviceAt(simPort())}), 0);
    ASSERT_EQ(transport_.selectDevice(1), 0);
    EXPECT_EQ(transport_.releaseDevice(1), 0);
    EXPECT_FALSE(transport_.isConnected(1));

    Bytes data(2);
    EXPECT_EQ(transport_.readRegisters(3, RegisterKind::kHoldingRegister, 1, 0, data),
              ErrorCode::kNotConnected);
    ASSERT_EQ(transport_.selectDevice(1), 0);
    EXPECT_EQ(transport_.readRegisters(3, RegisterKind::kHoldingRegister, 1, 0, data), 0);

    transport_.closeAll();
    EXPECT_EQ(transport_.currentDevice(), 0);
    EXPECT_EQ(transport_.readRegisters(3, RegisterKind::kHoldingRegister, 1, 0, data),
              ErrorCode::kNotConnected);
    EXPECT_EQ(logged().size(), 1u);
}

TEST_F(TcpTransportWithSim, DeviceThatGoesAwayGivesConnectionLostWithoutHarmingTheProcess) {
    startSim({"--unit", "1"});
    ASSERT_EQ(transport_.start({deviceAt(simPort())}), 0);
    ASSERT_EQ(transport_.selectDevice(1), 0);
    Bytes data(2);
    ASSERT_EQ(transport_.readRegisters(3, RegisterKind::kHoldingRegister, 1, 0, data), 0);

    ASSERT_EQ(sim_->stop(), 0);
    // Found before the request goes out: nothing is written to the dead connection.
    EXPECT_EQ(transport_.writeSingle(6, RegisterKind::kHoldingRegister, 0, 0, 1),
              ErrorCode::kConnectionLost);
    EXPECT_FALSE(transport_.isConnected(1));
    EXPECT_EQ(transport_.readRegisters(3, RegisterKind::kHoldingRegister, 1, 0, data),
              ErrorCode::kNotConnected);
    EXPECT_EQ(transport_.selectDevice(1), ErrorCode::kConnectFailed);
    EXPECT_EQ(logged().size(), 1u);
}

TEST(TcpTransportAddresses, OnlyIpv4AddressTextIsConnected) {
    TcpTransport transport;
    EXPECT_EQ(transport.selectDevice(1), ErrorCode::kSocketResources); // not started yet
    std::vector<DeviceEntry> devices;
    for (const char* address : {"plc.local", "1.2.3.4.5", "256.1.1.1", "", "127.0.0.1x"}) {
        devices.push_back(deviceAt(502));
        devices.back().address = address;
    }
    ASSERT_EQ(transport.start(devices), 0);
    for (uint16_t index = 1; index <= devices.size(); ++index) {
        EXPECT_EQ(transport.selectDevice(index), ErrorCode::kAddressNotAvailable)
            << devices[index - 1].address;
        EXPECT_FALSE(transport.isConnected(index));
    }
    EXPECT_EQ(transport.selectDevice(0), ErrorCode::kInvalidSocketArgument);
    EXPECT_EQ(transport.selectDevice(6), ErrorCode::kInvalidSocketArgument);
    EXPECT_EQ(transport.currentDevice(), 0);
}

} // namespace
} // namespace vorn::modbus
