// Devices that go away: a port refusing connections is not flooded with connects, a device that
// keeps failing is tried only at its reduced rate without slowing the others, and a device with
// a backup address stays on the address that works.
#include "ConfigFiles.h"
#include "EngineRig.h"

#include <gtest/gtest.h>
#include <thread>

using namespace vorn;
using namespace vorn::test;
using namespace std::chrono_literals;

namespace {

constexpr uint16_t kGood = 0xC0;

void activate(EngineRig& rig, SODaSGroup& group, const std::vector<std::string>& ids) {
    for (const std::string& id : ids) {
        auto item = rig.client().addItem(group, id);
        ASSERT_TRUE(item) << id;
        rig.client().setActive(*item, true);
    }
}

// A device coming back on the port an earlier simulator served.
std::unique_ptr<SimDevice> simulatorOnPort(EngineRig& rig, int port,
                                           const std::vector<std::string>& arguments) {
    auto sim = std::make_unique<SimDevice>();
    sim->log = rig.dir.file("back" + std::to_string(port) + ".log");
    std::vector<std::string> all{"--tcp", "127.0.0.1:" + std::to_string(port), "--log", sim->log};
    all.insert(all.end(), arguments.begin(), arguments.end());
    sim->process = std::make_unique<SimProcess>(MODBUS_SIM_PATH, all);
    return sim;
}

std::chrono::milliseconds since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

} // namespace

TEST(FailingDevice, ARefusingPortGetsAboutOneConnectASecondAndValuesComeBackSoonAfterItsReturn) {
    EngineRig rig;
    SimDevice& gone = rig.addSimulator();
    const int port = gone.process->port();
    const std::string plc = plcFor(gone, "P1", tagElement("T", "HREGISTER VT_I2", "5"));
    gone.process->stop(); // the port refuses connections from now on
    rig.start("", plc);
    auto group = rig.client().addGroup("g", 100);
    activate(rig, *group, {"P1.T"});

    const auto refusing = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(4s); // the span over which connects are counted
    const uint64_t attempts = rig.engine()->health(0).snapshot().errorCount;
    EXPECT_GE(attempts, 3u);
    EXPECT_LE(attempts, 4 + 2 * static_cast<uint64_t>(since(refusing) / 1s))
        << "a refused connect is retried at once, then at most about once a second";
    EXPECT_NE(rig.client().readFromCache("P1.T").quality, kGood);
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_NE(rig.client().readFromDevice("P1.T", 5000).quality, kGood);
    EXPECT_LT(since(asked), 900ms) << "a client's read is answered without waiting for a connect";

    auto back = simulatorOnPort(rig, port, {"--unit", "1", "--set", "hr:5=42"});
    const auto returned = std::chrono::steady_clock::now();
    ASSERT_TRUE(EngineRig::eventually(
        [&] { return rig.client().readFromCache("P1.T").quality == kGood; }, 10000));
    EXPECT_LT(since(returned), 3s) << "the next connect follows within a second";
    EXPECT_EQ(rig.client().readFromCache("P1.T").value, Variant::i2(42));
}

TEST(FailingDevice, ASilentDeviceAtItsReducedRateIsTriedEveryIntervalAndAnsweredAtOnce) {
    EngineRig rig;
    SimDevice& healthy = rig.addSimulator({"--unit", "1", "--set", "hr:5=7"});
    SimDevice& silent = rig.addSimulator({"--unit", "1", "--silent", "1"});
    rig.start("", plcFor(healthy, "Good", tagElement("T", "HREGISTER VT_I2", "5")) +
                      plcFor(silent, "Dead", tagElement("T", "HREGISTER VT_I2", "5"),
                             " timeout=\"1500\" reducedafter=\"3\" reducedinterval=\"3\""));
    auto group = rig.client().addGroup("g", 100);
    activate(rig, *group, {"Good.T", "Dead.T"});

    // Three tries that each wait out the timeout, then one every 3 s.
    const std::vector<LoggedRequest> tries = waitForRequests(silent.log, 5, 30s);
    ASSERT_EQ(tries.size(), 5u);
    EXPECT_LT(gapBetween(tries[1], tries[2]), 2500ms);
    for (size_t i = 3; i < tries.size(); ++i) {
        EXPECT_GE(gapBetween(tries[i - 1], tries[i]), 2900ms) << i;
        EXPECT_LT(gapBetween(tries[i - 1], tries[i]), 6000ms) << i;
    }
    EXPECT_TRUE(rig.engine()->health(1).snapshot().reducedRate);
    EXPECT_EQ(rig.client().readFromCache("Good.T").quality, kGood);

    // Between two tries a client's read of the dead device is answered at once, bad.
    ASSERT_EQ(waitForRequests(silent.log, 6, 10s).size(), 6u);
    const uint64_t failures = rig.engine()->health(1).snapshot().errorCount;
    ASSERT_TRUE(EngineRig::eventually(
        [&] { return rig.engine()->health(1).snapshot().errorCount > failures; },
        10000)); // the sixth try has just waited out its timeout
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_NE(rig.client().readFromDevice("Dead.T", 5000).quality, kGood);
    EXPECT_LT(since(asked), 1000ms) << "not after the device's 1.5 s timeout";

    // The device comes back on its port: the next try finds it.
    const int port = silent.process->port();
    silent.process->stop();
    auto back = simulatorOnPort(rig, port, {"--unit", "1", "--set", "hr:5=9"});
    const auto returned = std::chrono::steady_clock::now();
    ASSERT_TRUE(EngineRig::eventually(
        [&] { return rig.client().readFromCache("Dead.T").quality == kGood; }, 15000));
    EXPECT_LT(since(returned), 3s + 1500ms + 2s) << "within the interval, a timeout and slack";
    EXPECT_EQ(rig.client().readFromCache("Dead.T").value, Variant::i2(9));
    EXPECT_FALSE(rig.engine()->health(1).snapshot().reducedRate);
}

TEST(FailingDevice, ClientsOfADeviceAtItsReducedRateDoNotWaitForATryUnderWay) {
    EngineRig rig;
    SimDevice& silent = rig.addSimulator({"--unit", "1", "--silent", "1"});
    // Each try waits out 3 s; one second passes between two tries.
    rig.start("", plcFor(silent, "Dead", tagElement("T", "HREGISTER VT_I2", "5"),
                         " timeout=\"3000\" reducedafter=\"1\" reducedinterval=\"1\""));
    auto group = rig.client().addGroup("g", 100);
    activate(rig, *group, {"Dead.T"});
    ASSERT_TRUE(EngineRig::eventually(
        [&] { return rig.engine()->health(0).snapshot().reducedRate; }, 15000));

    for (const bool write : {false, true}) {
        // A try has just gone out: the engine waits for its reply for the next 3 s.
        const size_t tried = silent.requests().size();
        ASSERT_EQ(waitForRequests(silent.log, tried + 1, 10s).size(), tried + 1);
        const auto asked = std::chrono::steady_clock::now();
        if (write) {
            const WriteResult result = rig.client().write("Dead.T", Variant::i2(1), 10000);
            EXPECT_NE(result.result, S_OK);
        } else {
            EXPECT_NE(rig.client().readFromDevice("Dead.T", 10000).quality, kGood);
        }
        EXPECT_LT(since(asked), 1500ms)
            << (write ? "the write" : "the read") << " waited for the try's timeout";
    }
    for (const LoggedRequest& request : silent.requests())
        EXPECT_EQ(request.function, 3) << "the write reached the device";
}

TEST(FailingDevice, ADeviceOnItsBackupAddressStaysThereUntilThatFails) {
    EngineRig rig;
    SimDevice& first = rig.addSimulator();
    SimDevice& second = rig.addSimulator({"--unit", "1", "--set", "hr:5=2"});
    const int firstPort = first.process->port();
    const std::string plc =
        plcFor(first, "P1", tagElement("T", "HREGISTER VT_I2", "5"),
               " backupaddress=\"127.0.0.1\" backupport=\"" +
                   std::to_string(second.process->port()) + "\" backupafter=\"2\"");
    first.process->stop();
    rig.start("", plc);
    auto group = rig.client().addGroup("g", 100);
    activate(rig, *group, {"P1.T"});
    const std::string secondEndpoint = "127.0.0.1:" + std::to_string(second.process->port());
    ASSERT_TRUE(EngineRig::eventually(
        [&] { return rig.client().readFromCache("P1.T").quality == kGood; }, 10000));
    EXPECT_EQ(rig.client().readFromCache("P1.T").value, Variant::i2(2));
    EXPECT_EQ(rig.engine()->health(0).snapshot().activeAddress, secondEndpoint);

    // The first address answers again: the device stays where it works.
    auto firstBack = simulatorOnPort(rig, firstPort, {"--unit", "1", "--set", "hr:5=1"});
    const size_t before = second.requests().size();
    ASSERT_TRUE(
        EngineRig::eventually([&] { return second.requests().size() > before + 10; }, 10000));
    EXPECT_TRUE(firstBack->requests().empty()) << "no flapping back to the first address";
    EXPECT_EQ(rig.engine()->health(0).snapshot().activeAddress, secondEndpoint);

    // Until the second fails.
    second.process->stop();
    ASSERT_TRUE(EngineRig::eventually(
        [&] { return rig.client().readFromCache("P1.T").value == Variant::i2(1); }, 10000));
    EXPECT_EQ(rig.engine()->health(0).snapshot().activeAddress,
              "127.0.0.1:" + std::to_string(firstPort));
}
