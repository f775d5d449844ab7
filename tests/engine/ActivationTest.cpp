#include "ConfigFiles.h"
#include "EngineRig.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
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

// Established loopback TCP connections to `port`, as the kernel lists them.
int connectionsTo(int port) {
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line); // header
    int count = 0;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        const int remotePort = std::stoi(remote.substr(remote.find(':') + 1), nullptr, 16);
        if (remotePort == port && state == "01")
            ++count;
    }
    return count;
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
    // Three clients read at once; on a loaded machine one of them may come a cycle late and
    // get a request of its own, so the plant is tried up to three times: a fault that never
    // groups the reads fails every time.
    std::vector<LoggedRequest> log;
    for (int attempt = 0; attempt < 3 && log.size() != 1; ++attempt) {
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

        for (const ReadResult& r : rig.readTogether({"P1.A", "P1.B", "P1.C"}, 3000)) {
            EXPECT_EQ(r.result, S_OK);
            EXPECT_EQ(r.value, Variant::i2(3));
        }
        log = sim.requests();
        ASSERT_FALSE(log.empty()) << "the device reads reached the device";
    }
    ASSERT_EQ(log.size(), 1u) << "one Modbus read serves all three";
    EXPECT_EQ(log[0].start, 10);
    EXPECT_EQ(log[0].count, 3);
}

TEST(Activation, SettingAGroupsRateToItsCurrentValueQueuesNothing) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator();
    rig.start("", plcFor(sim, "P1", tagElement("T", "HREGISTER VT_I2", "1")));
    auto group = rig.client().addGroup("g", 500);
    activeItem(rig, *group, "P1.T");
    ASSERT_TRUE(
        EngineRig::eventually([&] { return rig.pollBlocks() == Blocks{"HREG1-LEN1@500"}; }, 3000));
    ASSERT_TRUE(
        EngineRig::eventually([&] { return rig.queues().lengths().activations == 0; }, 3000));
    rig.client().setUpdateRate(*group, 500);
    EXPECT_EQ(rig.queues().lengths().activations, 0u);
    // The engine waits for the queue to hold still, so a queued change is seen here.
    rig.client().setUpdateRate(*group, 250);
    EXPECT_EQ(rig.queues().lengths().activations, 1u);
}

TEST(Activation, ADeviceWithoutActiveTagsIsPassedOverAndItsConnectionClosed) {
    EngineRig rig;
    SimDevice& polled = rig.addSimulator();
    SimDevice& idle = rig.addSimulator({"--unit", "1", "--set", "hr:1=42"});
    rig.start("", plcFor(polled, "A", tagElement("T", "HREGISTER VT_I2", "1")) +
                      plcFor(idle, "B", tagElement("T", "HREGISTER VT_I2", "1")));
    auto group = rig.client().addGroup("g", 100);
    activeItem(rig, *group, "A.T");
    ASSERT_TRUE(EngineRig::eventually([&] { return polled.requests().size() >= 3; }, 3000));
    EXPECT_EQ(connectionsTo(idle.process->port()), 0) << "B is never connected for polling";
    EXPECT_EQ(rig.client().readFromDevice("B.T", 3000).value, Variant::i2(42));
    EXPECT_TRUE(
        EngineRig::eventually([&] { return connectionsTo(idle.process->port()) == 0; }, 3000))
        << "after the client's read B's connection is closed again";
    const size_t before = polled.requests().size();
    EXPECT_TRUE(
        EngineRig::eventually([&] { return polled.requests().size() >= before + 3; }, 3000));
    EXPECT_EQ(idle.requests().size(), 1u) << "B saw only the client's read";
}

TEST(Activation, ADeviceWhoseTagsAreActivatedLateIsConnectedBeforeItsFirstPoll) {
    for (bool holdUntilDue : {false, true}) {
        EngineRig rig;
        rig.holdUntilDue = holdUntilDue;
        SimDevice& sim = rig.addSimulator();
        rig.start("", plcFor(sim, "P1", tagElement("T", "HREGISTER VT_I2", "1")));
        // Idle cycles: the device has nothing to poll, so its connection is let go.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        auto group = rig.client().addGroup("g", 200);
        activeItem(rig, *group, "P1.T");
        ASSERT_TRUE(EngineRig::eventually(
            [&] { return rig.tag("P1.T")->getCache()->snapshot().quality == 0xC0; }, 3000));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const auto reports = rig.observer.reports();
        EXPECT_TRUE(reports.empty())
            << "hold until due " << holdUntilDue << ": first report code " << reports.front().code;
    }
}
