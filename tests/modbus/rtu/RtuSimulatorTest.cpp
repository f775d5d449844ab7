// The serial transport against the device simulator (libmodbus) at the far end of the line.
#include "PtyPair.h"
#include "RequestLogRecords.h"
#include "ScratchDir.h"
#include "SimProcess.h"
#include "modbus/ErrorCodes.h"
#include "modbus/RegisterKind.h"
#include "modbus/rtu/PortPath.h"
#include "modbus/rtu/RtuTransport.h"

#include <gtest/gtest.h>

namespace vorn::test {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
namespace RegisterKind = modbus::RegisterKind;

TEST(RtuTransportWithSimulator, ReadsTheDevicesValuesAndWritesReachIt) {
    ScratchDir scratch;
    PtyPair line(scratch.path());
    const std::string requests = scratch.file("requests.log");
    SimProcess sim(MODBUS_SIM_PATH,
                   {"--rtu", line.endB(), "--baud", "9600", "--format", "8N1", "--unit", "17",
                    "--set", "17:hr:0=0x1234", "--set", "17:hr:1=0x5678", "--set", "17:coil:2=1",
                    "--exception", "17:4:2", "--log", requests});
    Registry registry(scratch.file("registry.ini"));
    registry.writeString(modbus::portsRegistryKey, "COM1", line.endA());
    modbus::SerialPortList ports;
    ports.addIfAbsent({"COM1", 9600, "NO", 1, 8, "NONE"});
    modbus::CommLog log(scratch.path());
    modbus::RtuTransport rtu(ports, registry, log);
    modbus::DeviceEntry device;
    device.portName = "COM1";
    device.unitId = 17;
    device.timeoutMs = 1000;
    device.silentMs = 5;
    ASSERT_EQ(rtu.start({device}), modbus::ErrorCode::kSuccess);
    ASSERT_EQ(rtu.selectDevice(1), 0);

    Bytes registers(4);
    EXPECT_EQ(rtu.readRegisters(3, RegisterKind::kHoldingRegister, 2, 0, registers), 0);
    EXPECT_EQ(registers, (Bytes{0x12, 0x34, 0x56, 0x78}));
    Bytes coils(1);
    EXPECT_EQ(rtu.readRegisters(1, RegisterKind::kCoil, 4, 0, coils), 0);
    EXPECT_EQ(coils, Bytes{0x04});

    EXPECT_EQ(
        rtu.writeMultiple(16, RegisterKind::kHoldingRegister, 2, 10, Bytes{0x41, 0x48, 0x00, 0x07}),
        0);
    EXPECT_EQ(rtu.writeMultiple(15, RegisterKind::kCoil, 10, 20, Bytes{0x05, 0x02}), 0);
    EXPECT_EQ(rtu.writeSingle(5, RegisterKind::kCoil, 3, 0xFF, 0x00), 0);
    EXPECT_EQ(rtu.readRegisters(3, RegisterKind::kHoldingRegister, 2, 10, registers), 0);
    EXPECT_EQ(registers, (Bytes{0x41, 0x48, 0x00, 0x07}));
    EXPECT_EQ(rtu.readRegisters(1, RegisterKind::kCoil, 4, 0, coils), 0);
    EXPECT_EQ(coils, Bytes{0x0C});
    // The device refuses input registers with exception 2.
    EXPECT_EQ(rtu.readRegisters(4, RegisterKind::kInputRegister, 1, 0, registers), 65);

    const auto records = waitForRequests(requests, 8, 2s);
    ASSERT_EQ(records.size(), 8u);
    EXPECT_EQ(records[2].function, 16);
    EXPECT_EQ(records[2].start, 10);
    EXPECT_EQ(records[2].data, (Bytes{0x41, 0x48, 0x00, 0x07}));
    EXPECT_EQ(records[3].count, 10);
    EXPECT_EQ(records[3].data, (Bytes{0x05, 0x02}));
    EXPECT_EQ(records[4].data, (Bytes{0xFF, 0x00}));
    for (const auto& record : records)
        EXPECT_EQ(record.unit, 17);
    EXPECT_EQ(sim.stop(), 0) << sim.process().errorOutput();
}

} // namespace
} // namespace vorn::test
