#include "ConfigFiles.h"
#include "EngineRig.h"

#include <gtest/gtest.h>
#include <thread>

using namespace vorn;
using namespace vorn::test;

namespace {

constexpr uint32_t kWait = 3000;

std::vector<LoggedRequest> withFunction(const SimDevice& sim, int function) {
    std::vector<LoggedRequest> found;
    for (const LoggedRequest& r : sim.requests())
        if (r.function == function)
            found.push_back(r);
    return found;
}

} // namespace

TEST(Writes, SingleCoilsUseTheSingleWriteCodeWhenOneIsConfigured) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator();
    rig.start(datatypeRow("COIL", 1, 15, 5), plcFor(sim, "P1", tagElement("Pump", "COIL", "3")));
    EXPECT_EQ(rig.client().write("P1.Pump", Variant::boolean(true), kWait).result, S_OK);
    EXPECT_EQ(rig.client().write("P1.Pump", Variant::boolean(false), kWait).result, S_OK);
    auto singles = withFunction(sim, 5);
    ASSERT_EQ(singles.size(), 2u);
    EXPECT_EQ(singles[0].start, 3);
    EXPECT_EQ(*singles[0].data, (std::vector<uint8_t>{0xFF, 0x00}));
    EXPECT_EQ(*singles[1].data, (std::vector<uint8_t>{0x00, 0x00}));
    EXPECT_TRUE(withFunction(sim, 1).empty()) << "no read is needed for a single write";
}

TEST(Writes, WithoutASingleWriteCodeACoilIsReadThenWrittenAsOneOfMany) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator({"--unit", "1", "--set", "coil:5=1"});
    rig.start(datatypeRow("COIL", 1, 15, 0), plcFor(sim, "P1", tagElement("Pump", "COIL", "4")));
    EXPECT_EQ(rig.client().write("P1.Pump", Variant::boolean(true), kWait).result, S_OK);
    auto log = sim.requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].function, 1);
    EXPECT_EQ(log[0].start, 4);
    EXPECT_EQ(log[1].function, 15);
    EXPECT_EQ(log[1].count, 1);
    EXPECT_EQ(*log[1].data, (std::vector<uint8_t>{0x01}));
}

TEST(Writes, ABitInAHoldingRegisterChangesOnlyThatBit) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator({"--unit", "1", "--set", "hr:50=0x00F0"});
    rig.start("", plcFor(sim, "P1",
                         tagElement("Flag", "HREGISTER VT_BOOL", "50", "<databit>2</databit>")));
    EXPECT_EQ(rig.client().write("P1.Flag", Variant::boolean(true), kWait).result, S_OK);
    auto writes = withFunction(sim, 16);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(*writes[0].data, (std::vector<uint8_t>{0x00, 0xF4}));
    EXPECT_EQ(withFunction(sim, 3).size(), 1u) << "the register is read before it is written";
}

TEST(Writes, ABurstOfWritesIsServedTogether) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator();
    std::string tags;
    for (int i = 0; i < 20; ++i)
        tags += tagElement("R" + std::to_string(i), "HREGISTER VT_I2", std::to_string(100 + i));
    rig.start("", plcFor(sim, "P1", tags));
    std::vector<std::thread> writers;
    std::vector<HRESULT> results(20, E_FAIL);
    for (int i = 0; i < 20; ++i)
        writers.emplace_back([&, i] {
            results[i] =
                rig.client()
                    .write("P1.R" + std::to_string(i), Variant::i2(static_cast<int16_t>(i)), kWait)
                    .result;
        });
    for (auto& writer : writers)
        writer.join();
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(results[i], S_OK) << i;
    auto writes = withFunction(sim, 16);
    ASSERT_FALSE(writes.empty());
    EXPECT_LT(gapBetween(writes.front(), writes.back()).count(), 100)
        << "all blocks of the burst go out in one cycle";
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(rig.client().readFromDevice("P1.R" + std::to_string(i), kWait).value,
                  Variant::i2(static_cast<int16_t>(i)))
            << "the device holds every written value, whichever blocks carried it";
}

TEST(Writes, TablesThatCannotBeWrittenFailTheWrite) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator();
    rig.start("", plcFor(sim, "P1", tagElement("Input", "IREGISTER VT_I2", "1")));
    WriteResult result = rig.client().write("P1.Input", Variant::i2(5), kWait);
    EXPECT_EQ(result.result, E_FAIL);
    EXPECT_TRUE(result.hasQuality);
    EXPECT_EQ(result.quality, 0x04);
    EXPECT_TRUE(sim.requests().empty());
}

TEST(Writes, ABlockWithAOneRegisterHoleKeepsTheDevicesValueOfTheHole) {
    EngineRig rig;
    // Replies come after 600 ms: while the engine waits for one, both writes queue up.
    SimDevice& sim =
        rig.addSimulator({"--unit", "1", "--set", "hr:11=0x7777", "--delay-ms", "600"});
    rig.start("", plcFor(sim, "P1",
                         tagElement("Low", "HREGISTER VT_I2", "10") +
                             tagElement("Hole", "HREGISTER VT_UI2", "11") +
                             tagElement("High", "HREGISTER VT_I2", "12") +
                             tagElement("Other", "HREGISTER VT_I2", "100")));
    std::thread busy([&] { rig.client().readFromDevice("P1.Other", kWait); });
    // The writes are queued only once the read is on the wire, so they meet in one cycle.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    auto readOnTheWire = [&] {
        for (const LoggedRequest& r : sim.requests())
            if (r.function == 3 && r.start == 100)
                return true;
        return false;
    };
    while (!readOnTheWire() && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::vector<HRESULT> results(2, E_FAIL);
    std::thread low(
        [&] { results[0] = rig.client().write("P1.Low", Variant::i2(1), kWait).result; });
    // Lower address first: a block grows towards higher addresses as writes join it.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::thread high(
        [&] { results[1] = rig.client().write("P1.High", Variant::i2(2), kWait).result; });
    busy.join();
    low.join();
    high.join();
    EXPECT_EQ(results, (std::vector<HRESULT>{S_OK, S_OK}));
    bool joined = false;
    for (const LoggedRequest& r : withFunction(sim, 16)) {
        if (r.start <= 11 && r.start + r.count > 11) {
            joined = true;
            const size_t at = 2 * static_cast<size_t>(11 - r.start);
            EXPECT_EQ((*r.data)[at], 0x77);
            EXPECT_EQ((*r.data)[at + 1], 0x77) << "the hole carries the device's own value";
        }
    }
    std::string wire;
    for (const LoggedRequest& r : sim.requests())
        wire += " fc" + std::to_string(r.function) + "@" + std::to_string(r.start) + "/" +
                std::to_string(r.count);
    EXPECT_TRUE(joined) << "both writes went out in one block over the hole:" << wire;
    EXPECT_EQ(rig.client().readFromDevice("P1.Hole", kWait).value, Variant::ui2(0x7777));
}
