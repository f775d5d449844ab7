#include "ConfigFiles.h"
#include "EngineRig.h"

#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::test;

namespace {

bool hasRead(const std::vector<LoggedRequest>& log, int function, int start, int count) {
    for (const LoggedRequest& r : log)
        if (r.function == function && r.start == start && r.count == count)
            return true;
    return false;
}

void activate(EngineRig& rig, SODaSGroup& group, const std::vector<std::string>& ids) {
    for (const std::string& id : ids) {
        auto item = rig.client().addItem(group, id);
        ASSERT_TRUE(item) << id;
        rig.client().setActive(*item, true);
    }
}

} // namespace

TEST(Grouping, NeighboursShareARequestAndDistantTagsDoNot) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator();
    rig.start("", plcFor(sim, "P1",
                         tagElement("A", "HREGISTER VT_I2", "10") +
                             tagElement("B", "HREGISTER VT_I2", "30") +
                             tagElement("C", "HREGISTER VT_I2", "100") +
                             tagElement("D", "HREGISTER VT_I2", "130")));
    auto group = rig.client().addGroup("fast", 100);
    activate(rig, *group, {"P1.A", "P1.B", "P1.C", "P1.D"});
    ASSERT_TRUE(EngineRig::eventually(
        [&] {
            auto log = sim.requests();
            return hasRead(log, 3, 10, 21) && hasRead(log, 3, 100, 1) && hasRead(log, 3, 130, 1);
        },
        5000));
    EXPECT_EQ(rig.pollBlocks(), (std::vector<std::string>{"HREG10-LEN21@100", "HREG100-LEN1@100",
                                                          "HREG130-LEN1@100"}))
        << "a hole of 19 registers is read, one of 29 splits the block";
}

TEST(Grouping, AWiderTagBeforeABlockExtendsItAndRatesNeverMix) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator();
    rig.start("", plcFor(sim, "P1",
                         tagElement("Wide", "HREGISTER VT_I4", "8") +
                             tagElement("Narrow", "HREGISTER VT_I2", "10") +
                             tagElement("Slow", "HREGISTER VT_I2", "11")));
    auto fast = rig.client().addGroup("fast", 200);
    activate(rig, *fast, {"P1.Narrow"});
    ASSERT_TRUE(EngineRig::eventually(
        [&] { return rig.pollBlocks() == std::vector<std::string>{"HREG10-LEN1@200"}; }, 3000));
    activate(rig, *fast, {"P1.Wide"});
    auto slow = rig.client().addGroup("slow", 400);
    activate(rig, *slow, {"P1.Slow"});
    EXPECT_TRUE(EngineRig::eventually(
        [&] {
            return rig.pollBlocks() ==
                   std::vector<std::string>{"HREG8-LEN3@200", "HREG11-LEN1@400"};
        },
        3000))
        << testing::PrintToString(rig.pollBlocks());
    EXPECT_TRUE(EngineRig::eventually([&] { return hasRead(sim.requests(), 3, 8, 3); }, 3000));
}

TEST(Grouping, LargeArraysAreReadInConsecutiveRequests) {
    EngineRig rig;
    SimDevice& sim =
        rig.addSimulator({"--unit", "1", "--set", "hr:1000..1199=7", "--set", "hr:1199=9", "--set",
                          "coil:1968..1970=1", "--set", "coil:5=1"});
    rig.start(
        datatypeRow("COIL", 1, 15, 0),
        plcFor(sim, "P1",
               tagElement("Regs", "HREGISTER VT_I2 ARRAY", "1000", "<elements>200</elements>") +
                   tagElement("Coils", "COIL ARRAY", "0", "<elements>2000</elements>")));
    auto group = rig.client().addGroup("g", 100);
    activate(rig, *group, {"P1.Regs", "P1.Coils"});
    ASSERT_TRUE(EngineRig::eventually(
        [&] {
            auto log = sim.requests();
            return hasRead(log, 3, 1000, 123) && hasRead(log, 3, 1123, 77) &&
                   hasRead(log, 1, 0, 1968) && hasRead(log, 1, 1968, 32);
        },
        5000));
    ASSERT_TRUE(EngineRig::eventually(
        [&] { return rig.client().readFromCache("P1.Coils").quality == 0xC0; }, 3000));
    ReadResult regs = rig.client().readFromCache("P1.Regs");
    ASSERT_EQ(regs.value.size(), 200u);
    EXPECT_EQ(regs.value.at(0), Variant::i2(7));
    EXPECT_EQ(regs.value.at(199), Variant::i2(9))
        << "the second request's data lands after the first";
    ReadResult coils = rig.client().readFromCache("P1.Coils");
    ASSERT_EQ(coils.value.size(), 2000u);
    EXPECT_TRUE(coils.value.at(5).asBool());
    EXPECT_FALSE(coils.value.at(1967).asBool());
    EXPECT_TRUE(coils.value.at(1968).asBool()) << "the second reply lands at byte 246";
    EXPECT_TRUE(coils.value.at(1970).asBool());
    EXPECT_FALSE(coils.value.at(1971).asBool());
}
