// Polling per connection against polling with one thread: the same requests, values, qualities
// and status reports; and what only polling per connection gives: a device that does not answer
// costs its timeout in its own connection's cycle only. Whole servers (GatewayServer with the
// registry value "PollingMode") over the real transports, the simulator as the devices.
#include "ConfigFiles.h"
#include "EngineRig.h"
#include "PtyPair.h"
#include "modbus/rtu/CommLog.h"
#include "modbus/rtu/RtuTransport.h"
#include "modbus/tcp/TcpTransport.h"
#include "server/GatewayServer.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <thread>
#include <tuple>

using namespace vorn;
using namespace vorn::test;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;
using RequestShape = std::tuple<int, int, int, int>; // unit, function, start, count

struct TagState {
    Variant value;
    uint16_t quality = 0;
    bool operator==(const TagState&) const = default;
};

// What a run of a plant shows: the distinct requests the devices received, every tag's value
// and quality, and the status reports.
struct Outcome {
    std::set<RequestShape> requests;
    std::map<std::string, TagState> tags;
    // Error reports. A clear (code 0) names the device its thread polls next, which differs
    // between the modes by design, so clears are not compared.
    std::set<std::pair<int, std::string>> reports;
};

// A whole server over a configuration text, in one polling mode.
class PlantServer {
public:
    PlantServer(ServerKind kind, bool perConnection, ScratchDir& dir, const std::string& config,
                Registry registry)
        : registry_(std::move(registry)), log_(dir.path()) {
        const char* key = profileOf(kind).registryKey;
        const std::string file = kind == ServerKind::tarnvale ? "Tarnvale.xml" : "Rennick.xml";
        EXPECT_TRUE(registry_.writeString(key, "ConfigFile", dir.write(file, config)));
        EXPECT_TRUE(registry_.writeString(key, "OpcUaPort", "0"));
        EXPECT_TRUE(
            registry_.writeString(key, "PollingMode", perConnection ? "perConnection" : "single"));
        GatewayServer::TransportFactory transports =
            [this, kind](const ServerConfig& c) -> std::unique_ptr<modbus::ModbusTransport> {
            if (kind == ServerKind::tarnvale)
                return std::make_unique<modbus::TcpTransport>();
            return std::make_unique<modbus::RtuTransport>(c.serialPorts, registry_, log_);
        };
        server_ = std::make_unique<GatewayServer>(kind, transports, registry_);
        std::string error;
        EXPECT_TRUE(server_->start(observer, nullptr, error)) << error;
        client_ = std::make_unique<DaClient>(server_->entry());
    }
    ~PlantServer() { stop(); }

    DaClient& client() { return *client_; }
    void activate(const std::vector<std::string>& ids, uint32_t rate) {
        auto group = client_->addGroup("g" + std::to_string(rate), rate);
        for (const std::string& id : ids)
            client_->setActive(*client_->addItem(*group, id), true);
    }
    TagState state(const std::string& id) {
        CacheSnapshot snapshot =
            server_->entry().getNameSpaceRoot()->findTag(id)->getCache()->snapshot();
        return {snapshot.value, snapshot.quality};
    }
    // The time the server took to stop.
    Clock::duration stop() {
        const auto begin = Clock::now();
        client_.reset(); // a connected client would be waited for
        server_->shutdown();
        return Clock::now() - begin;
    }

    RecordingObserver observer;

private:
    Registry registry_;
    modbus::CommLog log_;
    std::unique_ptr<GatewayServer> server_;
    std::unique_ptr<DaClient> client_;
};

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    return EngineRig::eventually(condition, static_cast<int>(timeout.count()));
}

// Runs the plant until every tag has its expected quality and a few more passes went by.
Outcome run(ServerKind kind, bool perConnection, ScratchDir& dir, const std::string& config,
            const std::map<std::string, uint16_t>& expectedQualities,
            const std::vector<std::string>& logs, Registry registry) {
    Outcome outcome;
    {
        PlantServer server(kind, perConnection, dir, config, std::move(registry));
        std::vector<std::string> ids;
        for (const auto& [id, quality] : expectedQualities)
            ids.push_back(id);
        server.activate(ids, 200);
        EXPECT_TRUE(eventually(
            [&] {
                return std::all_of(ids.begin(), ids.end(), [&](const std::string& id) {
                    return server.state(id).quality == expectedQualities.at(id);
                });
            },
            8s))
            << (perConnection ? "perConnection" : "single") << ": " << [&] {
                   std::string shown;
                   for (const std::string& id : ids)
                       shown += id + "=" + std::to_string(server.state(id).quality) + " ";
                   return shown;
               }();
        std::this_thread::sleep_for(1s);
        for (const std::string& id : ids)
            outcome.tags[id] = server.state(id);
        for (const auto& report : server.observer.reports())
            if (report.code != 0)
                outcome.reports.insert({report.code, report.device});
    }
    for (const std::string& log : logs)
        for (const LoggedRequest& r : readRequestLog(log))
            outcome.requests.insert({r.unit, r.function, r.start, r.count});
    return outcome;
}

std::string tcpPlc(const std::string& name, int port, int unit, const std::string& tags,
                   int timeoutMs = 1000) {
    return tcpDevice(name, "127.0.0.1", tags,
                     " port=\"" + std::to_string(port) + "\" id=\"" + std::to_string(unit) +
                         "\" timeout=\"" + std::to_string(timeoutMs) + "\"");
}

std::string i2(const std::string& name, int address) {
    return tagElement(name, "HREGISTER VT_I2", std::to_string(address));
}

// The simulated TCP plant: three devices on three ports of one simulator; the third answers
// every holding-register read with exception 2.
std::string startTcpPlant(ScratchDir& dir, std::unique_ptr<SimProcess>& sim,
                          const std::string& log) {
    sim = std::make_unique<SimProcess>(MODBUS_SIM_PATH,
                                       std::vector<std::string>{"--tcp",       "127.0.0.1:0,0,0",
                                                                "--unit",      "1",
                                                                "--unit",      "2",
                                                                "--unit",      "3",
                                                                "--set",       "1:hr:10=11",
                                                                "--set",       "1:hr:12=12",
                                                                "--set",       "1:hr:40=0x4148",
                                                                "--set",       "1:coil:0..3=1",
                                                                "--set",       "2:hr:10=21",
                                                                "--set",       "2:hr:30=\"AB\"",
                                                                "--exception", "3:3:2",
                                                                "--log",       log});
    (void)dir;
    const std::vector<int> ports = sim->ports();
    return tcpConfig(datatypeRow("COIL", 1, 15, 5),
                     tcpPlc("P1", ports[0], 1,
                            i2("A", 10) + i2("B", 12) + tagElement("R", "HREGISTER VT_R4", "40") +
                                tagElement("C", "COIL ARRAY", "0", "<elements>4</elements>")) +
                         tcpPlc("P2", ports[1], 2,
                                i2("A", 10) + tagElement("S", "HREGISTER VT_BSTR", "30",
                                                         "<elements>2</elements>")) +
                         tcpPlc("P3", ports[2], 3, i2("A", 1)));
}

const std::map<std::string, uint16_t> kTcpQualities = {
    {"P1.A", 0xC0}, {"P1.B", 0xC0}, {"P1.R", 0xC0}, {"P1.C", 0xC0},
    {"P2.A", 0xC0}, {"P2.S", 0xC0}, {"P3.A", 0x1C}};

} // namespace

TEST(PollingMode, BothModesSendTheSameRequestsAndShowTheSameTagsOverTcp) {
    std::map<bool, Outcome> outcomes;
    for (bool perConnection : {false, true}) {
        ScratchDir dir;
        std::unique_ptr<SimProcess> sim;
        const std::string log = dir.file("requests.log");
        const std::string config = startTcpPlant(dir, sim, log);
        outcomes[perConnection] = run(ServerKind::tarnvale, perConnection, dir, config,
                                      kTcpQualities, {log}, Registry(dir.file("registry.ini")));
    }
    const Outcome& single = outcomes[false];
    const Outcome& perConnection = outcomes[true];
    EXPECT_EQ(single.requests, perConnection.requests);
    EXPECT_EQ(single.requests.size(), 5u) << "P1: 10/3, 40/2, coils 0/4; P2: 10/22; P3: 1/1";
    EXPECT_EQ(single.tags, perConnection.tags);
    EXPECT_EQ(single.tags.at("P1.A").value, Variant::i2(11));
    EXPECT_EQ(single.tags.at("P2.S").value.asString(), u"AB");
    EXPECT_EQ(single.reports, perConnection.reports);
    EXPECT_TRUE(single.reports.count({65, "P3"})) << single.reports.size();
}

TEST(PollingMode, BothModesSendTheSameRequestsAndShowTheSameTagsOverTwoSerialLines) {
    std::map<bool, Outcome> outcomes;
    for (bool perConnection : {false, true}) {
        ScratchDir dir;
        std::filesystem::create_directories(dir.file("line1"));
        std::filesystem::create_directories(dir.file("line2"));
        PtyPair line1(dir.file("line1")), line2(dir.file("line2"));
        const std::string log1 = dir.file("line1.log"), log2 = dir.file("line2.log");
        SimProcess sim1(MODBUS_SIM_PATH, {"--rtu", line1.endB(), "--unit", "1", "--set", "hr:1=42",
                                          "--set", "ir:5=7", "--log", log1});
        SimProcess sim2(MODBUS_SIM_PATH, {"--rtu", line2.endB(), "--unit", "2", "--set", "hr:1=43",
                                          "--exception", "2:4:2", "--log", log2});
        Registry registry(dir.file("registry.ini"));
        registry.writeString("SOFTWARE\\VornAutomation\\Rennick\\Ports", "COM1", line1.endA());
        registry.writeString("SOFTWARE\\VornAutomation\\Rennick\\Ports", "COM2", line2.endA());
        auto plc = [](const std::string& name, const std::string& port, int unit) {
            return rtuDevice("<name>" + name + "</name><id>" + std::to_string(unit) + "</id><com>" +
                                 port +
                                 "</com><baudrate>9600</baudrate><parity>NO</parity>"
                                 "<stopbits>1</stopbits><databits>8</databits>"
                                 "<flowcontrol>NONE</flowcontrol><timeout>300</timeout>"
                                 "<silent>5</silent>",
                             i2("T", 1) + tagElement("I", "IREGISTER VT_I2", "5"));
        };
        const std::string config = rtuConfig(datatypeRow("IREGISTER", 4, 16, 0),
                                             plc("A", "COM1", 1) + plc("B", "COM2", 2));
        outcomes[perConnection] = run(ServerKind::rennick, perConnection, dir, config,
                                      {{"A.T", 0xC0}, {"A.I", 0xC0}, {"B.T", 0xC0}, {"B.I", 0x1C}},
                                      {log1, log2}, registry);
    }
    const Outcome& single = outcomes[false];
    const Outcome& perConnection = outcomes[true];
    EXPECT_EQ(single.requests, perConnection.requests);
    EXPECT_EQ(single.requests.size(), 4u);
    EXPECT_EQ(single.tags, perConnection.tags);
    EXPECT_EQ(single.tags.at("A.I").value, Variant::i2(7));
    EXPECT_EQ(single.tags.at("B.T").value, Variant::i2(43));
    EXPECT_EQ(single.reports, perConnection.reports);
    EXPECT_TRUE(single.reports.count({65, "B"})) << single.reports.size();
}

namespace {

// Two devices on two ports of one simulator; the second never answers (1000 ms timeout).
struct SilentNeighbour {
    ScratchDir dir;
    std::string log = dir.file("requests.log");
    SimProcess sim{MODBUS_SIM_PATH,
                   {"--tcp", "127.0.0.1:0,0", "--unit", "1", "--unit", "2", "--silent", "2",
                    "--set", "1:hr:10=5", "--log", log}};
    std::string config() const {
        return tcpConfig("", tcpPlc("Live", sim.ports()[0], 1, i2("T", 10)) +
                                 tcpPlc("Dead", sim.ports()[1], 2, i2("T", 10), 1000));
    }
    // The longest time between two polls of the live device, over the log's last `window`.
    std::chrono::milliseconds longestLiveGap() const {
        std::vector<LoggedRequest> live;
        for (const LoggedRequest& r : readRequestLog(log))
            if (r.unit == 1 && r.function == 3)
                live.push_back(r);
        std::chrono::milliseconds longest{0};
        for (size_t i = 1; i < live.size(); ++i)
            longest = std::max(longest, gapBetween(live[i - 1], live[i]));
        return live.size() < 5 ? std::chrono::milliseconds::max() : longest;
    }
};

} // namespace

TEST(PerConnectionPolling, ASilentDeviceDoesNotDelayAnotherDevicesPolls) {
    for (bool perConnection : {false, true}) {
        SilentNeighbour plant;
        {
            PlantServer server(ServerKind::tarnvale, perConnection, plant.dir, plant.config(),
                               Registry(plant.dir.file("registry.ini")));
            server.activate({"Live.T", "Dead.T"}, 100);
            std::this_thread::sleep_for(4s);
        }
        if (perConnection)
            EXPECT_LT(plant.longestLiveGap(), 400ms) << "the live device waited for the dead one";
        else // the single thread visits the dead device between two polls of the live one
            EXPECT_GE(plant.longestLiveGap(), 900ms);
    }
}

TEST(PerConnectionPolling, ReadsAndWritesOfOneDeviceAreServedWhileAnotherTimesOut) {
    SilentNeighbour plant;
    PlantServer server(ServerKind::tarnvale, true, plant.dir, plant.config(),
                       Registry(plant.dir.file("registry.ini")));
    server.activate({"Dead.T"}, 100);
    std::this_thread::sleep_for(300ms); // the dead device's worker is inside a timeout now
    for (int round = 0; round < 3; ++round) {
        auto begin = Clock::now();
        ReadResult read = server.client().readFromDevice("Live.T", 3000);
        EXPECT_EQ(read.quality, 0xC0);
        EXPECT_EQ(read.value, Variant::i2(static_cast<int16_t>(round == 0 ? 5 : 70 + round - 1)));
        WriteResult write = server.client().write("Live.T", Variant::i2(int16_t(70 + round)), 3000);
        EXPECT_EQ(write.result, S_OK);
        EXPECT_LT(Clock::now() - begin, 600ms) << "round " << round;
    }
    auto writes = readRequestLog(plant.log);
    EXPECT_EQ(std::count_if(writes.begin(), writes.end(),
                            [](const LoggedRequest& r) { return r.unit == 1 && r.function != 3; }),
              3);
    EXPECT_TRUE(eventually([&] { return server.state("Dead.T").quality == 0x18; }, 3s));
}

TEST(PerConnectionPolling, StopEndsWithinTenSecondsWhileEveryDeviceTimesOut) {
    ScratchDir dir;
    const std::string log = dir.file("requests.log");
    std::vector<std::string> arguments{"--tcp", "127.0.0.1:0,0,0,0,0,0", "--log", log};
    std::string devices;
    for (int unit = 1; unit <= 6; ++unit)
        for (const char* option : {"--unit", "--silent"})
            arguments.insert(arguments.end(), {option, std::to_string(unit)});
    SimProcess sim(MODBUS_SIM_PATH, arguments);
    for (int unit = 1; unit <= 6; ++unit)
        devices += tcpPlc("D" + std::to_string(unit), sim.ports()[unit - 1], unit,
                          i2("T", 1) + i2("U", 100), 3000);
    PlantServer server(ServerKind::tarnvale, true, dir, tcpConfig("", devices),
                       Registry(dir.file("registry.ini")));
    std::vector<std::string> ids;
    for (int unit = 1; unit <= 6; ++unit)
        ids.push_back("D" + std::to_string(unit) + ".T");
    server.activate(ids, 100);
    ASSERT_EQ(waitForRequests(log, 6, 5s).size(), 6u) << "every device is being asked";
    // Six threads each in a 3 s timeout: stopped one after the other this would take up to 18 s.
    EXPECT_LT(server.stop(), 10s);
}

namespace {

// The gaps between consecutive reads of one block (unit and start), from the log's records
// after `skip` of them, sorted.
std::vector<std::chrono::milliseconds> readGaps(const std::string& log, int unit, int start,
                                                size_t skip) {
    std::vector<LoggedRequest> reads;
    for (const LoggedRequest& r : readRequestLog(log))
        if (r.unit == unit && r.function == 3 && r.start == start)
            reads.push_back(r);
    std::vector<std::chrono::milliseconds> gaps;
    for (size_t i = skip + 1; i < reads.size(); ++i)
        gaps.push_back(gapBetween(reads[i - 1], reads[i]));
    std::sort(gaps.begin(), gaps.end());
    return gaps;
}

} // namespace

// Twenty blocks take about 110 ms to go round at 5 ms a cycle, less than their 150 ms rate: a
// block not due when its turn comes is read once its rate has passed, not a whole pass later.
TEST(PerConnectionPolling, ABlockIsReadOnceItsRateHasPassedNotAWholePassLater) {
    ScratchDir dir;
    const std::string log = dir.file("requests.log");
    SimProcess sim(MODBUS_SIM_PATH, {"--tcp", "127.0.0.1:0", "--unit", "1", "--log", log});
    std::string tags;
    std::vector<std::string> ids;
    for (int block = 0; block < 20; ++block) {
        const std::string name = "A" + std::to_string(block);
        tags += tagElement(name, "HREGISTER VT_I2 ARRAY", std::to_string(block * 10),
                           "<elements>2</elements>"); // an array is a block of its own
        ids.push_back("P." + name);
    }
    {
        PlantServer server(ServerKind::tarnvale, true, dir,
                           tcpConfig("", tcpPlc("P", sim.ports()[0], 1, tags)),
                           Registry(dir.file("registry.ini")));
        server.activate(ids, 150);
        std::this_thread::sleep_for(3500ms);
    }
    const auto gaps = readGaps(log, 1, 0, 3);
    ASSERT_GE(gaps.size(), 8u);
    EXPECT_LT(gaps[gaps.size() / 2], 185ms) << "a pass of ~110 ms is waited out twice";
    EXPECT_GE(gaps.front(), 145ms) << "read more often than its rate";
}

// Two devices on one connection share a thread: the slow device's block waiting for its rate
// must not keep the fast device's due block waiting.
TEST(PerConnectionPolling, ABlockWaitingForItsRateDoesNotHoldUpADueBlockOnItsConnection) {
    ScratchDir dir;
    const std::string log = dir.file("requests.log");
    SimProcess sim(MODBUS_SIM_PATH,
                   {"--tcp", "127.0.0.1:0", "--unit", "1", "--unit", "2", "--log", log});
    std::string slowTags;
    std::vector<std::string> slowIds;
    for (int block = 0; block < 5; ++block) {
        const std::string name = "A" + std::to_string(block);
        slowTags += tagElement(name, "HREGISTER VT_I2 ARRAY", std::to_string(block * 10),
                               "<elements>2</elements>");
        slowIds.push_back("Slow." + name);
    }
    {
        PlantServer server(ServerKind::tarnvale, true, dir,
                           tcpConfig("", tcpPlc("Slow", sim.ports()[0], 1, slowTags) +
                                             tcpPlc("Fast", sim.ports()[0], 2, i2("T", 500))),
                           Registry(dir.file("registry.ini")));
        server.activate(slowIds, 3000);
        server.activate({"Fast.T"}, 100);
        std::this_thread::sleep_for(3500ms);
    }
    const auto gaps = readGaps(log, 2, 500, 3);
    ASSERT_GE(gaps.size(), 10u) << "the fast device was kept waiting";
    EXPECT_LT(gaps[gaps.size() / 2], 150ms);
    EXPECT_LT(gaps.back(), 400ms);
}

// With nothing due for seconds the thread waits, but a client's request or the stop ends the
// wait at once.
TEST(PerConnectionPolling, AClientsWriteAndTheStopEndTheWaitForASlowBlock) {
    ScratchDir dir;
    const std::string log = dir.file("requests.log");
    SimProcess sim(MODBUS_SIM_PATH,
                   {"--tcp", "127.0.0.1:0", "--unit", "1", "--set", "hr:10=5", "--log", log});
    PlantServer server(ServerKind::tarnvale, true, dir,
                       tcpConfig("", tcpPlc("P", sim.ports()[0], 1, i2("T", 10))),
                       Registry(dir.file("registry.ini")));
    server.activate({"P.T"}, 60000); // its block is first due a minute after it was made
    std::this_thread::sleep_for(500ms);
    for (int round = 0; round < 3; ++round) {
        std::this_thread::sleep_for(300ms);
        const auto begin = Clock::now();
        EXPECT_EQ(server.client().write("P.T", Variant::i2(int16_t(40 + round)), 3000).result,
                  S_OK);
        EXPECT_LT(Clock::now() - begin, 500ms) << "round " << round;
        ReadResult read = server.client().readFromDevice("P.T", 3000);
        EXPECT_EQ(read.value, Variant::i2(int16_t(40 + round)));
        EXPECT_LT(Clock::now() - begin, 1000ms) << "round " << round;
    }
    EXPECT_LT(server.stop(), 2s);
}
