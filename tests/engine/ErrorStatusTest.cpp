#include "ConfigFiles.h"
#include "EngineRig.h"
#include "modbus/ErrorCodes.h"
#include "toolkit/Quality.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace vorn;
using namespace vorn::test;
using namespace vorn::modbus;

namespace {

using Report = RecordingObserver::Report;

// A loopback port with nobody listening: connections to it are refused.
int closedPort() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    close(s);
    return ntohs(address.sin_port);
}

void activateAll(EngineRig& rig, uint32_t rate, const std::vector<std::string>& ids) {
    auto group = rig.client().addGroup("g" + std::to_string(rate), rate);
    for (const std::string& id : ids)
        rig.client().setActive(*rig.client().addItem(*group, id), true);
}

bool startsWith(const std::vector<Report>& reports, const std::vector<Report>& prefix) {
    return reports.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), reports.begin());
}

} // namespace

TEST(ErrorStatus, ExceptionRepliesGiveTheirCodesAndOutOfService) {
    EngineRig rig;
    SimDevice& two = rig.addSimulator({"--unit", "1", "--exception", "1:3:2"});
    rig.start("", plcFor(two, "P1", tagElement("T", "HREGISTER VT_I2", "1")));
    ReadResult read = rig.client().readFromDevice("P1.T", 3000);
    EXPECT_EQ(read.result, S_OK) << "a device read completes; the quality tells";
    EXPECT_EQ(read.quality, Quality::kBadOutOfService);
    activateAll(rig, 200, {"P1.T"});
    EXPECT_TRUE(rig.observer.waitFor(
        [](const auto& r) {
            return startsWith(r, {{ErrorCode::kIllegalDataAddress, "P1"}});
        },
        3000));
}

TEST(ErrorStatus, AnExceptionFailsOnlyItsBlockAndPollingStaysWithTheDevice) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator({"--unit", "1", "--exception", "1:3:2", "--set", "ir:1=7"});
    rig.start("", plcFor(sim, "P1",
                         tagElement("Holding", "HREGISTER VT_I2", "1") +
                             tagElement("Input", "IREGISTER VT_I2", "1")));
    activateAll(rig, 100, {"P1.Holding", "P1.Input"});
    auto inputPolls = [&] {
        size_t n = 0;
        for (const LoggedRequest& r : sim.requests())
            n += r.function == 4;
        return n;
    };
    ASSERT_TRUE(EngineRig::eventually([&] { return inputPolls() >= 3; }, 3000));
    EXPECT_EQ(rig.client().readFromCache("P1.Holding").quality, 0x1C);
    ReadResult input = rig.client().readFromCache("P1.Input");
    EXPECT_EQ(input.quality, 0xC0) << "the other block of the device stays good";
    EXPECT_EQ(input.value, Variant::i2(7));
    const size_t before = inputPolls();
    EXPECT_TRUE(EngineRig::eventually([&] { return inputPolls() >= before + 3; }, 3000))
        << "the device keeps being polled";
}

TEST(ErrorStatus, AnExceptionIsReportedAgainAtEachFailingPollWithAClearInBetween) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator({"--unit", "1", "--exception", "1:3:1"});
    rig.start("", plcFor(sim, "P1", tagElement("T", "HREGISTER VT_I2", "1")));
    activateAll(rig, 300, {"P1.T"});
    EXPECT_TRUE(rig.observer.waitFor(
        [](const auto& r) {
            return startsWith(r, {{ErrorCode::kIllegalFunction, "P1"},
                                  {ErrorCode::kSuccess, "P1"},
                                  {ErrorCode::kIllegalFunction, "P1"}});
        },
        4000))
        << testing::PrintToString(rig.observer.reports().size());
    EXPECT_EQ(rig.client().readFromCache("P1.T").quality, Quality::kBadOutOfService);
}

TEST(ErrorStatus, ARefusingDeviceFailsWithinASecondAndItsWritesReachNoOtherDevice) {
    EngineRig rig;
    SimDevice& good = rig.addSimulator();
    const int refused = closedPort();
    rig.start("", tcpDevice("Dead", "127.0.0.1", tagElement("T", "HREGISTER VT_I2", "1"),
                            " port=\"" + std::to_string(refused) + "\"") +
                      plcFor(good, "Good", tagElement("T", "HREGISTER VT_I2", "1")));
    activateAll(rig, 200, {"Dead.T"});
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(rig.observer.waitFor(
        [](const auto& r) {
            return startsWith(r, {{ErrorCode::kConnectFailed, "Dead"}});
        },
        3000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));

    WriteResult write = rig.client().write("Dead.T", Variant::i2(7), 5000);
    EXPECT_EQ(write.result, E_FAIL);
    EXPECT_EQ(write.quality, Quality::kBadCommFailure);
    EXPECT_EQ(rig.client().readFromCache("Dead.T").quality, Quality::kBadCommFailure);
    for (const LoggedRequest& r : good.requests())
        EXPECT_FALSE(r.data.has_value()) << "a write meant for Dead reached Good";
}

TEST(ErrorStatus, WritesThatReadFirstFailWithTheReadsStatusWhenTheDeviceCannotBeReached) {
    EngineRig rig;
    const int refused = closedPort();
    rig.start(datatypeRow("COIL", 1, 15, 0),
              tcpDevice("Dead", "127.0.0.1",
                        tagElement("Flag", "HREGISTER VT_BOOL", "1", "<databit>2</databit>") +
                            tagElement("Coil", "COIL", "4"),
                        " port=\"" + std::to_string(refused) + "\""));
    for (auto [id, value] : {std::pair{"Dead.Flag", true}, std::pair{"Dead.Coil", true}}) {
        WriteResult write = rig.client().write(id, Variant::boolean(value), 5000);
        EXPECT_EQ(write.result, E_FAIL) << id;
        EXPECT_TRUE(write.hasQuality) << id;
        EXPECT_EQ(write.quality, 0x18) << id << ": the device cannot be reached";
    }
}

TEST(ErrorStatus, AddressesInTheClassicIpv4TextFormsReachTheDevice) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator({"--unit", "1", "--set", "hr:1=42"});
    const std::string port = " port=\"" + std::to_string(sim.process->port()) + "\"";
    rig.start(
        "", tcpDevice("Zeros", "127.000.000.001", tagElement("T", "HREGISTER VT_I2", "1"), port) +
                tcpDevice("Blank", "127.0.0.001 ", tagElement("T", "HREGISTER VT_I2", "1"), port) +
                tcpDevice("Name", "localhost", tagElement("T", "HREGISTER VT_I2", "1"), port));
    EXPECT_EQ(rig.client().readFromDevice("Zeros.T", 3000).value, Variant::i2(42));
    EXPECT_EQ(rig.client().readFromDevice("Blank.T", 3000).value, Variant::i2(42));
    EXPECT_NE(rig.client().readFromDevice("Name.T", 3000).quality, 0xC0)
        << "host names are never looked up";
}

TEST(ErrorStatus, ASilentDeviceTimesOutAndTheNextDeviceClearsTheReport) {
    EngineRig rig;
    SimDevice& silent = rig.addSimulator({"--unit", "1", "--silent", "1"});
    SimDevice& answering = rig.addSimulator();
    rig.start("", plcFor(silent, "A", tagElement("T", "HREGISTER VT_I2", "1"), " timeout=\"300\"") +
                      plcFor(answering, "B", tagElement("T", "HREGISTER VT_I2", "1")));
    activateAll(rig, 100, {"A.T", "B.T"});
    EXPECT_TRUE(rig.observer.waitFor(
        [](const auto& r) {
            return startsWith(r, {{ErrorCode::kNoReply, "A"}, {ErrorCode::kSuccess, "B"}});
        },
        5000))
        << testing::PrintToString(rig.observer.reports().size());
    EXPECT_EQ(rig.client().readFromCache("A.T").quality, Quality::kBadCommFailure);
    EXPECT_TRUE(EngineRig::eventually(
        [&] { return rig.client().readFromCache("B.T").quality == 0xC0; }, 3000));
}

TEST(ErrorStatus, AConnectionClosedByTheDeviceIsReopenedAtTheNextSelection) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator({"--unit", "1", "--set", "hr:1=5"});
    const int port = sim.process->port();
    rig.start("", plcFor(sim, "P1", tagElement("T", "HREGISTER VT_I2", "1")));
    activateAll(rig, 100, {"P1.T"});
    ASSERT_TRUE(EngineRig::eventually(
        [&] { return rig.client().readFromCache("P1.T").quality == 0xC0; }, 3000));

    sim.process->stop();
    ASSERT_TRUE(rig.observer.waitFor(
        [](const auto& r) { return !r.empty() && (r.back().code == 3 || r.back().code == 32); },
        3000));
    EXPECT_EQ(rig.client().readFromCache("P1.T").quality, Quality::kBadCommFailure);

    SimProcess again(MODBUS_SIM_PATH, {"--tcp", "127.0.0.1:" + std::to_string(port), "--unit", "1",
                                       "--set", "hr:1=6", "--log", sim.log});
    EXPECT_TRUE(EngineRig::eventually(
        [&] { return rig.client().readFromCache("P1.T").value == Variant::i2(6); }, 5000));
    EXPECT_EQ(rig.observer.reports().back().code, 0);
}

TEST(ErrorStatus, NoDeviceConfiguredEndsTheEngineAtOnce) {
    EngineRig rig;
    rig.start("", "");
    EXPECT_TRUE(EngineRig::eventually([&] { return rig.observer.noDevices(); }, 2000));
    EXPECT_TRUE(EngineRig::eventually([&] { return !rig.engine()->isRunning(); }, 2000));
}
