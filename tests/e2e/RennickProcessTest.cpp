#include "ChildProcess.h"
#include "ConfigFiles.h"
#include "PtyPair.h"
#include "RequestLogRecords.h"
#include "ScopedEnv.h"
#include "ScratchDir.h"
#include "ServerEndpoint.h"
#include "SimProcess.h"
#include "platform/Registry.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::test;
using namespace std::chrono_literals;

namespace {

// Runs the OPC UA probe against `endpoint` and returns its output lines.
std::vector<std::string> probe(const std::string& endpoint, const std::vector<std::string>& steps,
                               const std::string& home) {
    ScopedEnv quietHome("HOME", home.c_str());
    std::vector<std::string> arguments{PROBE_SCRIPT, endpoint};
    arguments.insert(arguments.end(), steps.begin(), steps.end());
    ChildProcess node("/usr/bin/node", arguments);
    std::vector<std::string> lines;
    while (auto line = node.readLine(30s))
        if (!line->empty() && (*line)[0] == '{')
            lines.push_back(*line);
    node.waitForExit(5s);
    return lines;
}

// What device R1 holds and how it is configured: its registers as the simulator's settings,
// more settings of the device after the line's, and its tags.
struct DeviceOnTheLine {
    std::vector<std::string> registers{"hr:4=1234"};
    std::string settings;
    std::string tags = tagElement("Level", "HREGISTER VT_I2", "4");
};

// Rennick, headless, with device R1 (unit 17, by default register 4 = 1234, its requests
// logged) at the far end of COM1, a pseudo-terminal pair; the test starts the server.
struct RennickOnALine {
    explicit RennickOnALine(const DeviceOnTheLine& r1 = {})
        : line(folder("line")), device(MODBUS_SIM_PATH, simulatorArguments(r1)),
          registry(dir.file("registry.ini")) {
        registry.writeString(key + "\\Ports", "COM1", line.endA());
        registry.writeString(key, "OpcUaPort", "0");
        registry.writeString(
            key, "ConfigFile",
            dir.write(
                "Rennick.xml",
                rtuConfig(datatypeRow("HREGISTER", 3, 16, 6),
                          rtuDevice(rtuSettings("R1", "COM1", 9600, 17) + r1.settings, r1.tags))));
    }
    std::vector<std::string> simulatorArguments(const DeviceOnTheLine& r1) {
        std::vector<std::string> arguments{
            "--rtu", line.endB(), "--baud", "9600",  "--format",
            "8N1",   "--unit",    "17",     "--log", dir.file("device.log")};
        for (const std::string& value : r1.registers) {
            arguments.push_back("--set");
            arguments.push_back(value);
        }
        return arguments;
    }
    std::string folder(const std::string& name) {
        std::filesystem::create_directories(dir.file(name));
        return dir.file(name);
    }

    const std::string key = "SOFTWARE\\VornAutomation\\Rennick";
    ScratchDir dir;
    PtyPair line;
    SimProcess device;
    Registry registry;
    ScopedEnv headless{"VORN_HEADLESS", "1"};
    ScopedEnv registryPath{"VORN_REGISTRY", registry.path().c_str()};
};

} // namespace

TEST(RennickProcess, PollsASerialDeviceAndWritesReachIt) {
    RennickOnALine rig;
    ChildProcess server(RENNICK_PATH, {});
    const std::string endpoint = opcUaEndpointOf(server);
    ASSERT_FALSE(endpoint.empty()) << server.errorOutput();

    auto results =
        probe(endpoint, {"wait-good:R1.Level:5000", "write:R1.Level:Int16:77", "read:R1.Level"},
              rig.dir.path());
    ASSERT_EQ(results.size(), 3u) << server.errorOutput();
    EXPECT_NE(results[0].find("\"status\":\"Good\""), std::string::npos) << results[0];
    EXPECT_NE(results[0].find("\"value\":1234"), std::string::npos) << results[0];
    EXPECT_NE(results[1].find("\"status\":\"Good\""), std::string::npos) << results[1];
    EXPECT_NE(results[2].find("\"value\":77"), std::string::npos) << results[2];

    bool written = false;
    for (const LoggedRequest& r : readRequestLog(rig.dir.file("device.log")))
        written = written || (r.function == 6 && r.start == 4 && r.data &&
                              *r.data == std::vector<uint8_t>{0x00, 0x4D});
    EXPECT_TRUE(written) << "the write reached the device as a single-register write";
    EXPECT_EQ(server.terminate(10s), 0) << server.errorOutput();
}

TEST(RennickProcess, TheStatusPageShowsHowBusyTheSerialLineIs) {
    RennickOnALine rig;
    rig.registry.writeString(rig.key, "HttpListen", "127.0.0.1:0");
    ChildProcess server(RENNICK_PATH, {});
    const std::string endpoint = opcUaEndpointOf(server);
    ASSERT_FALSE(endpoint.empty()) << server.errorOutput();
    std::string web;
    while (auto printed = server.readLine(15s))
        if (auto at = printed->find("web page "); at != std::string::npos) {
            web = printed->substr(at + 9);
            break;
        }
    ASSERT_FALSE(web.empty()) << server.errorOutput();

    // Reads from the device hold the line: 8 bytes out and 7 back at 9600 baud each.
    std::vector<std::string> reads{"wait-good:R1.Level:5000"};
    for (int i = 0; i < 20; ++i)
        reads.push_back("read:R1.Level");
    ASSERT_EQ(probe(endpoint, reads, rig.dir.path()).size(), reads.size()) << server.errorOutput();
    ChildProcess fetch("/usr/bin/node",
                       {"-e", "fetch(process.argv[1]).then((r) => r.text()).then(console.log)",
                        web + "/api/devices"});
    std::string devices;
    while (auto printed = fetch.readLine(15s))
        devices += *printed;
    fetch.waitForExit(5s);
    EXPECT_NE(devices.find("\"connection\":\"COM1\""), std::string::npos) << devices;
    const size_t at = devices.find("\"busLoad\":");
    ASSERT_NE(at, std::string::npos) << devices;
    const double load = std::strtod(devices.c_str() + at + 10, nullptr);
    EXPECT_GT(load, 0.0) << devices;
    EXPECT_LT(load, 1.0) << devices;
    EXPECT_EQ(server.terminate(10s), 0) << server.errorOutput();
}

// A drive on a serial line that sends its floats low word first (the device's order) and a
// speed set point scaled from 0..16384 to 0..100 %.
TEST(RennickProcess, ServesAFloatLowWordFirstAndAScaledSetPoint) {
    DeviceOnTheLine drive;
    drive.registers = {"hr:0=0", "hr:1=0x4148", "hr:2=8192"};
    drive.settings = "<byteorder>CDAB</byteorder>";
    drive.tags = tagElement("Power", "HREGISTER VT_R4", "0") +
                 tagElement("Speed", "HREGISTER VT_UI2", "2",
                            "<rawlow>0</rawlow><rawhigh>16384</rawhigh><eulow>0</eulow>"
                            "<euhigh>100</euhigh><units>%</units>");
    RennickOnALine rig(drive);
    ChildProcess server(RENNICK_PATH, {});
    const std::string endpoint = opcUaEndpointOf(server);
    ASSERT_FALSE(endpoint.empty()) << server.errorOutput();

    auto results =
        probe(endpoint,
              {"wait-good:R1.Power:5000", "datatype:R1.Power", "wait-good:R1.Speed:5000",
               "datatype:R1.Speed", "eurange:R1.Speed", "units:R1.Speed",
               "write:R1.Speed:Double:42.5", "write:R1.Speed:Double:400", "read:R1.Speed"},
              rig.dir.path());
    ASSERT_EQ(results.size(), 9u) << server.errorOutput();
    EXPECT_NE(results[0].find("\"status\":\"Good\",\"value\":12.5}"), std::string::npos)
        << results[0];
    EXPECT_NE(results[1].find("\"datatype\":\"Float\""), std::string::npos) << results[1];
    EXPECT_NE(results[2].find("\"value\":50}"), std::string::npos) << results[2];
    EXPECT_NE(results[3].find("\"datatype\":\"Double\""), std::string::npos) << results[3];
    EXPECT_NE(results[4].find("\"low\":0,\"high\":100"), std::string::npos) << results[4];
    EXPECT_NE(results[5].find("\"units\":\"%\",\"unitId\":20529"), std::string::npos) << results[5];
    EXPECT_NE(results[6].find("\"status\":\"Good\""), std::string::npos) << results[6];
    EXPECT_NE(results[7].find("\"status\":\"BadOutOfRange\""), std::string::npos) << results[7];
    EXPECT_NE(results[8].find("\"value\":42.498779296875"), std::string::npos) << results[8];

    std::vector<std::vector<uint8_t>> written;
    for (const LoggedRequest& r : readRequestLog(rig.dir.file("device.log")))
        if (r.start == 2 && r.data)
            written.push_back(*r.data);
    EXPECT_EQ(written, (std::vector<std::vector<uint8_t>>{{0x1B, 0x33}}))
        << "42.5 % reached the device as 6963; 400 % reached nothing";
    EXPECT_EQ(server.terminate(10s), 0) << server.errorOutput();
}

// The communication log switched on by the registry, without a window (as under systemd), in
// the folder the registry names; a folder it cannot write to is said once, not per line.
TEST(RennickProcess, TheRegistrySwitchesTheCommunicationLogOnInTheFolderItNames) {
    RennickOnALine rig;
    ScratchDir& dir = rig.dir;
    Registry& registry = rig.registry;
    const std::string& key = rig.key;
    registry.writeString(key, "CommLog", "1");
    ScopedEnv noServiceFolder("LOGS_DIRECTORY", nullptr);

    // A folder below a file: nobody can write there.
    const std::string blocked = dir.write("not-a-folder", "") + "/logs";
    registry.writeString(key, "CommLogFolder", blocked);
    {
        ChildProcess server(RENNICK_PATH, {});
        const std::string endpoint = opcUaEndpointOf(server);
        ASSERT_FALSE(endpoint.empty()) << server.errorOutput();
        auto results = probe(endpoint, {"wait-good:R1.Level:5000", "read:R1.Level"}, dir.path());
        ASSERT_EQ(results.size(), 2u) << server.errorOutput();
        EXPECT_EQ(server.terminate(10s), 0);
        const std::string said =
            "communication log " + blocked + "/Log.err cannot be written: " + "Not a directory";
        const std::string err = server.errorOutput();
        const size_t first = err.find(said);
        EXPECT_NE(first, std::string::npos) << err;
        EXPECT_EQ(err.find(said, first + 1), std::string::npos) << "once: " << err;
    }

    registry.writeString(key, "CommLogFolder", dir.file("logs"));
    std::filesystem::create_directories(dir.file("logs"));
    ChildProcess server(RENNICK_PATH, {});
    const std::string endpoint = opcUaEndpointOf(server);
    ASSERT_FALSE(endpoint.empty()) << server.errorOutput();
    auto results = probe(endpoint, {"wait-good:R1.Level:5000"}, dir.path());
    ASSERT_EQ(results.size(), 1u) << server.errorOutput();
    EXPECT_EQ(server.terminate(10s), 0);
    std::ifstream log(dir.file("logs/Log.err"), std::ios::binary);
    std::string tx, rx;
    ASSERT_TRUE(std::getline(log, tx) && std::getline(log, rx)) << server.errorOutput();
    // "5 Dec 2026 09:05:03. TX: 11 3 0 4 0 1 c6 9b \r": unit 17 (0x11), function 3, register 4.
    EXPECT_NE(tx.find(". TX: 11 3 0 4 0 1 "), std::string::npos) << tx;
    EXPECT_NE(rx.find(". RX: 11 3 2 4 d2 "), std::string::npos) << rx;
    EXPECT_EQ(tx.back(), '\r');
}

// The file names ports COMn; which device each stands for is the registry's: --check-config
// shows it, mapped or by default.
TEST(RennickProcess, CheckConfigShowsTheDeviceOfEachPort) {
    ScratchDir dir;
    Registry registry(dir.file("registry.ini"));
    registry.writeString("SOFTWARE\\VornAutomation\\Rennick\\Ports", "COM1", "/dev/ttyUSB0");
    const std::string config = dir.write(
        "Rennick.xml", rtuConfig(datatypeRow("HREGISTER", 3, 16, 6),
                                 rtuDevice(rtuSettings("R1", "COM1", 9600, 1),
                                           tagElement("Level", "HREGISTER VT_I2", "4")) +
                                     rtuDevice(rtuSettings("R2", "COM2", 9600, 2),
                                               tagElement("Level", "HREGISTER VT_I2", "4"))));
    ScopedEnv registryPath("VORN_REGISTRY", registry.path().c_str());
    ChildProcess check(RENNICK_PATH, {"--check-config", config});
    std::string out;
    while (auto line = check.readLine(20s))
        out += *line + "\n";
    EXPECT_EQ(check.waitForExit(20s), 0) << out << check.errorOutput();
    EXPECT_NE(out.find("port COM1 = /dev/ttyUSB0 (registry value COM1 under "
                       "[SOFTWARE\\VornAutomation\\Rennick\\Ports])\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("port COM2 = /dev/ttyS1 (default: no registry value COM2 under "
                       "[SOFTWARE\\VornAutomation\\Rennick\\Ports])\n"),
              std::string::npos)
        << out;
}
