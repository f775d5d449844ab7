// modbus-sim over Modbus RTU at one end of a socat pseudo-terminal pair, with a libmodbus RTU
// client (9600 8N1) at the other: several units on one line, silence for absent units.
#include "ModbusClient.h"
#include "PtyPair.h"
#include "RequestLogRecords.h"
#include "ScratchDir.h"
#include "SimProcess.h"

#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace vorn::test {
namespace {

using namespace std::chrono_literals;

TEST(SimulatorRtu, ServesEveryUnitOnTheLineAndIgnoresOthers) {
    ScratchDir scratch;
    PtyPair line(scratch.path());
    const std::string log = scratch.file("requests.log");
    SimProcess sim(MODBUS_SIM_PATH, {"--rtu", line.endA(), "--baud", "9600", "--format", "8N1",
                                     "--unit", "17", "--unit", "5", "--set", "17:hr:0=0x1234",
                                     "--set", "5:hr:0=0x0505", "--log", log});
    EXPECT_EQ(sim.where(), line.endA());

    auto client = ModbusClient::rtu(line.endB(), 17);
    EXPECT_EQ(client.readHolding(0, 1), (std::vector<uint16_t>{0x1234}));

    // On the simulator's side libmodbus reads for one unit (5, the lowest); frames for the others
    // are taken over from it, so requests alternate between both ways of being read.
    client.setUnit(5);
    EXPECT_EQ(client.readHolding(0, 1), (std::vector<uint16_t>{0x0505}));
    ASSERT_EQ(modbus_write_register(client.get(), 3, 0x4148), 1);
    EXPECT_EQ(client.readHolding(3, 1), (std::vector<uint16_t>{0x4148}));
    client.setUnit(17);
    EXPECT_EQ(client.readHolding(3, 1), (std::vector<uint16_t>{0}));
    const uint16_t registers[] = {0x4142, 0x4344};
    ASSERT_EQ(modbus_write_registers(client.get(), 20, 2, registers), 2);
    const uint8_t coils[] = {1, 1, 0, 1};
    ASSERT_EQ(modbus_write_bits(client.get(), 4, 4, coils), 4);
    EXPECT_EQ(client.readHolding(20, 2), (std::vector<uint16_t>{0x4142, 0x4344}));

    // An absent unit gets no answer on a bus.
    client.setUnit(9);
    client.setResponseTimeout(300ms);
    uint16_t value = 0;
    EXPECT_EQ(modbus_read_registers(client.get(), 0, 1, &value), -1);
    EXPECT_EQ(errno, ETIMEDOUT);

    // A broadcast write reaches every unit, and nobody answers it.
    // (Sent raw: this libmodbus client would wait for an answer to it.)
    const uint8_t broadcast[] = {
        MODBUS_BROADCAST_ADDRESS, MODBUS_FC_WRITE_SINGLE_REGISTER, 0x00, 0x08, 0x08, 0x08};
    ASSERT_GT(modbus_send_raw_request(client.get(), broadcast, sizeof broadcast), 0);
    uint8_t answer[MODBUS_RTU_MAX_ADU_LENGTH];
    EXPECT_EQ(modbus_receive_confirmation(client.get(), answer), -1);
    EXPECT_EQ(errno, ETIMEDOUT);
    client.setResponseTimeout(ModbusClient::kResponseTimeout);
    for (int unit : {5, 17}) {
        client.setUnit(unit);
        EXPECT_EQ(client.readHolding(8, 1), (std::vector<uint16_t>{0x0808})) << unit;
    }

    // Line noise is skipped; the next request is served.
    const uint8_t noise[] = {0xFF, 0xFF, 0x11, 0x03, 0x42, 0x00, 0x13, 0x37, 0xFF};
    ASSERT_EQ(::write(modbus_get_socket(client.get()), noise, sizeof noise),
              static_cast<ssize_t>(sizeof noise));
    std::this_thread::sleep_for(200ms);
    client.setUnit(17);
    EXPECT_EQ(client.readHolding(0, 1), (std::vector<uint16_t>{0x1234}));

    auto records = waitForRequests(log, 13, 2s);
    ASSERT_GE(records.size(), 13u);
    EXPECT_EQ(records.back().unit, 17);
    EXPECT_EQ(records[2].unit, 5);
    EXPECT_EQ(records[2].function, 6);
    EXPECT_EQ(records[2].data, (std::vector<uint8_t>{0x41, 0x48}));
    EXPECT_EQ(records[5].function, 16);
    EXPECT_EQ(records[5].data, (std::vector<uint8_t>{0x41, 0x42, 0x43, 0x44}));
    EXPECT_EQ(records[6].function, 15);
    EXPECT_EQ(records[6].count, 4);
    EXPECT_EQ(records[6].data, (std::vector<uint8_t>{0x0B}));
    EXPECT_EQ(records[8].unit, 9);
    EXPECT_EQ(records[9].unit, 0);

    EXPECT_EQ(sim.stop(), 0) << sim.process().errorOutput();
}

} // namespace
} // namespace vorn::test
