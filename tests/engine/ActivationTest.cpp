#include "ConfigFiles.h"
#include "EngineRig.h"

#include <gtest/gtest.h>
#include <thread>

using namespace vorn;
using namespace vorn::test;

namespace {

using Blocks = std::vector<std::string>;

SOCmnPointer<SODaSItem> activeItem(EngineRig& rig, SODaSGroup& group, const std::string& id) {
    auto item = rig.client().addItem(group, id);
    rig.client().setActive(*item, true);
    return item;
}

} // namespace

TEST(Activation, ATagMovesToAFasterGroupsRateAndStaysThere) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator();
    rig.start("", plcFor(sim, "P1", tagElement("T", "HREGISTER VT_I2", "1")));
    auto slow = rig.client().addGroup("slow", 1000);
    auto fast = rig.client().addGroup("fast", 250);
    auto again = rig.client().addGroup("again", 1000);
    activeItem(rig, *slow, "P1.T");
    ASSERT_TRUE(
        EngineRig::eventually([&] { return rig.pollBlocks() == Blocks{"HREG1-LEN1@1000"}; }, 3000));
    activeItem(rig, *fast, "P1.T");
    ASSERT_TRUE(
        EngineRig::eventually([&] { return rig.pollBlocks() == Blocks{"HREG1-LEN1@250"}; }, 3000));
    activeItem(rig, *again, "P1.T");
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(rig.pollBlocks(), Blocks{"HREG1-LEN1@250"});
}

TEST(Activation, ATagIsPolledWhileAnyOfItsItemsIsActive) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator();
    rig.start("", plcFor(sim, "P1", tagElement("T", "HREGISTER VT_I2", "1")));
    auto group = rig.client().addGroup("g", 200);
    auto first = activeItem(rig, *group, "P1.T");
    auto second = activeItem(rig, *group, "P1.T");
    ASSERT_TRUE(EngineRig::eventually([&] { return rig.pollBlocks().size() == 1; }, 3000));
    rig.client().setActive(*first, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(rig.pollBlocks().size(), 1u);
    rig.client().setActive(*second, false);
    EXPECT_TRUE(EngineRig::eventually([&] { return rig.pollBlocks().empty(); }, 3000));
}

TEST(Activation, ModifyingTheRateMovesPolledTagsOnly) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator();
    rig.start("", plcFor(sim, "P1",
                         tagElement("On", "HREGISTER VT_I2", "1") +
                             tagElement("Off", "HREGISTER VT_I2", "100")));
    auto group = rig.client().addGroup("g", 500);
    activeItem(rig, *group, "P1.On");
    rig.client().addItem(*group, "P1.Off");
    ASSERT_TRUE(
        EngineRig::eventually([&] { return rig.pollBlocks() == Blocks{"HREG1-LEN1@500"}; }, 3000));
    rig.client().setUpdateRate(*group, 100);
    EXPECT_TRUE(
        EngineRig::eventually([&] { return rig.pollBlocks() == Blocks{"HREG1-LEN1@100"}; }, 3000))
        << testing::PrintToString(rig.pollBlocks());
}

TEST(Activation, RateZeroIsNeverPolled) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator();
    rig.start("", plcFor(sim, "P1", tagElement("T", "HREGISTER VT_I2", "1")));
    auto group = rig.client().addGroup("zero", 0);
    activeItem(rig, *group, "P1.T");
    ASSERT_TRUE(
        EngineRig::eventually([&] { return rig.pollBlocks() == Blocks{"HREG1-LEN1@0"}; }, 3000));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(sim.requests().empty());
}

TEST(Activation, CacheReadsNeverReachTheDeviceAndNeighbouringDeviceReadsShareOneRequest) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator({"--unit", "1", "--set", "hr:10..12=3"});
    rig.start("", plcFor(sim, "P1",
                         tagElement("A", "HREGISTER VT_I2", "10") +
                             tagElement("B", "HREGISTER VT_I2", "11") +
                             tagElement("C", "HREGISTER VT_I2", "12")));
    auto cacheRead = makeObject<SODaSRequest>(SODaSRequest::read, SODaSRequest::kSyncCache,
                                              rig.tag("P1.A").get());
    rig.tag("P1.A")->handleRequest(*cacheRead);
    EXPECT_TRUE(cacheRead->isCompleted()) << "completed at once";

    std::vector<ReadResult> results(3);
    std::vector<std::thread> readers;
    const char* ids[] = {"P1.A", "P1.B", "P1.C"};
    for (int i = 0; i < 3; ++i)
        readers.emplace_back([&, i] { results[i] = rig.client().readFromDevice(ids[i], 3000); });
    for (auto& reader : readers)
        reader.join();
    for (const ReadResult& r : results) {
        EXPECT_EQ(r.result, S_OK);
        EXPECT_EQ(r.value, Variant::i2(3));
    }
    auto log = sim.requests();
    ASSERT_EQ(log.size(), 1u) << "one Modbus read serves all three";
    EXPECT_EQ(log[0].start, 10);
    EXPECT_EQ(log[0].count, 3);
}
