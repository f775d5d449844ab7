// Rennick's reload and its serial line: the server runs in this process over a real serial
// transport on a pseudo-terminal pair with the device simulator at the far end, so the test can
// count how often the line was opened.
#include "ConfigFiles.h"
#include "PtyPair.h"
#include "ScopedEnv.h"
#include "ScratchDir.h"
#include "SimProcess.h"
#include "engine/EngineObserver.h"
#include "modbus/rtu/CommLog.h"
#include "modbus/rtu/RtuTransport.h"
#include "server/GatewayServer.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

using namespace vorn;
using namespace vorn::test;
using namespace std::chrono_literals;

namespace {

class QuietObserver : public modbus::EngineObserver {
public:
    void onCommStatus(int, PlcDevice&) override {}
    void onNoDevices() override {}
};

// Waits until `condition` holds, at most `limit`.
template <typename Condition> bool eventually(Condition condition, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

std::string rennickFile(int baud, const std::string& tags) {
    return rtuConfig(datatypeRow("HREGISTER", 3, 16, 6),
                     rtuDevice(rtuSettings("R1", "COM1", baud, 17), tags));
}

struct RennickInProcess {
    RennickInProcess()
        : line(folder("line")),
          device(MODBUS_SIM_PATH, {"--rtu", line.endB(), "--baud", "9600", "--format", "8N1",
                                   "--unit", "17", "--set", "hr:4=1234"}),
          registry(dir.file("registry.ini")), log(dir.file("log")),
          core(
              ServerKind::rennick,
              [this](const ServerConfig& config) {
                  auto made =
                      std::make_unique<modbus::RtuTransport>(config.serialPorts, registry, log);
                  transport = made.get();
                  return made;
              },
              registry) {
        registry.writeString(key + "\\Ports", "COM1", line.endA());
        registry.writeString(key, "OpcUaPort", "0");
        registry.writeString(key, "ConfigFile", configFile());
    }
    std::string folder(const std::string& name) {
        std::filesystem::create_directories(dir.file(name));
        return dir.file(name);
    }
    std::string configFile() { return dir.file("Rennick.xml"); }
    void write(const std::string& text) { dir.write("Rennick.xml", text); }
    size_t opens() const { return transport ? transport->openCount("COM1") : 0; }

    const std::string key = "SOFTWARE\\VornAutomation\\Rennick";
    ScratchDir dir;
    PtyPair line;
    SimProcess device;
    Registry registry;
    modbus::CommLog log;
    ScopedEnv headless{"VORN_HEADLESS", "1"};
    modbus::RtuTransport* transport = nullptr;
    QuietObserver observer;
    GatewayServer core;
};

} // namespace

TEST(ReloadSerialLine, TagsOnlyKeepTheLineOpenABaudRateChangeReopensIt) {
    RennickInProcess rennick;
    const std::string level = tagElement("Level", "HREGISTER VT_I2", "4");
    rennick.write(rennickFile(9600, level));
    std::string error;
    ASSERT_TRUE(rennick.core.start(rennick.observer, nullptr, error)) << error;
    // A serial device is selected, and its line opened, without any client.
    ASSERT_TRUE(eventually([&] { return rennick.opens() == 1; }, 20s)) << rennick.opens();

    rennick.write(rennickFile(9600, level + tagElement("Extra", "HREGISTER VT_I2", "5")));
    const ReloadOutcome tagsOnly = rennick.core.reload();
    ASSERT_TRUE(tagsOnly.applied) << tagsOnly.refusal;
    EXPECT_EQ(tagsOnly.difference.describe(), "1 tag added");
    EXPECT_TRUE(rennick.core.entry().getNameSpaceRoot()->findTag("R1.Extra"));
    // The engine goes on selecting the device for a while: the line stays as it is.
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(rennick.opens(), 1u) << "a reload of tags only neither closes nor reopens the line";

    rennick.write(rennickFile(19200, level));
    const ReloadOutcome baud = rennick.core.reload();
    ASSERT_TRUE(baud.applied) << baud.refusal;
    EXPECT_EQ(baud.difference.changedLines, std::vector<std::string>{"COM1"});
    EXPECT_TRUE(eventually([&] { return rennick.opens() == 2; }, 20s))
        << "a new baud rate reopens the line; opened " << rennick.opens() << " times";
    rennick.core.shutdown();
}
