// Which function code goes on the wire for each table, with and without DATATYPE rows.
#include "ConfigFiles.h"
#include "EngineRig.h"

#include <gtest/gtest.h>
#include <set>

using namespace vorn;
using namespace vorn::test;

namespace {

constexpr uint32_t kWait = 3000;

std::set<int> functionsAt(const SimDevice& sim, int start) {
    std::set<int> found;
    for (const LoggedRequest& r : sim.requests())
        if (r.start == start)
            found.insert(r.function);
    return found;
}

} // namespace

TEST(FunctionCodes, WithoutRowsEachTableIsReadWithItsOwnCode) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator({"--unit", "1", "--set", "hr:7=111", "--set", "ir:7=222",
                                       "--set", "coil:20=1", "--set", "di:30=1"});
    rig.start("", plcFor(sim, "P1",
                         tagElement("Input", "IREGISTER VT_I2", "7") +
                             tagElement("Holding", "HREGISTER VT_I2", "7") +
                             tagElement("Coil", "COIL", "20") +
                             tagElement("Status", "INPUTSTATUS", "30")));
    ReadResult input = rig.client().readFromDevice("P1.Input", kWait);
    EXPECT_EQ(input.quality, 0xC0);
    EXPECT_EQ(input.value, Variant::i2(222)) << "the input register, not the holding register";
    EXPECT_EQ(rig.client().readFromDevice("P1.Holding", kWait).value, Variant::i2(111));
    EXPECT_TRUE(rig.client().readFromDevice("P1.Coil", kWait).value.asBool());
    EXPECT_TRUE(rig.client().readFromDevice("P1.Status", kWait).value.asBool());
    EXPECT_EQ(rig.client().write("P1.Coil", Variant::boolean(false), kWait).result, S_OK);

    auto group = rig.client().addGroup("polls", 100);
    for (const char* id : {"P1.Input", "P1.Coil", "P1.Status"}) {
        auto item = rig.client().addItem(*group, id);
        ASSERT_TRUE(item) << id;
        rig.client().setActive(*item, true);
    }
    ASSERT_TRUE(EngineRig::eventually([&] { return functionsAt(sim, 30).size() >= 1; }, kWait));
    EXPECT_EQ(functionsAt(sim, 20), (std::set<int>{1, 15})) << "coils: read 1, write 15";
    EXPECT_EQ(functionsAt(sim, 30), (std::set<int>{2}));
    std::set<int> atSeven = functionsAt(sim, 7);
    EXPECT_EQ(atSeven, (std::set<int>{3, 4}));
}

TEST(FunctionCodes, TheLaterRowsReadCodeServesPollsDeviceReadsAndReadsBeforeWrites) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator({"--unit", "1", "--set", "ir:40=0x00F0"});
    rig.start(
        datatypeRow("HREGISTER", 3, 16, 0) + datatypeRow("HREGISTER", 4, 16, 0),
        plcFor(sim, "P1", tagElement("Flag", "HREGISTER VT_BOOL", "40", "<databit>2</databit>")));
    EXPECT_EQ(rig.client().readFromDevice("P1.Flag", kWait).quality, 0xC0);
    EXPECT_EQ(rig.client().write("P1.Flag", Variant::boolean(true), kWait).result, S_OK);
    auto group = rig.client().addGroup("polls", 100);
    auto item = rig.client().addItem(*group, "P1.Flag");
    ASSERT_TRUE(item);
    rig.client().setActive(*item, true);
    ASSERT_TRUE(EngineRig::eventually([&] { return sim.requests().size() >= 5; }, kWait));
    int reads = 0;
    for (const LoggedRequest& r : sim.requests()) {
        EXPECT_NE(r.function, 3) << "code 3 never goes out";
        if (r.function == 4)
            ++reads;
        if (r.function == 16) {
            EXPECT_EQ(*r.data, (std::vector<uint8_t>{0x00, 0xF4}))
                << "read first with code 4: the input register's bits are kept";
        }
    }
    EXPECT_GE(reads, 4) << "device read, read before write, polls";
}
