#include "ChildProcess.h"
#include "ConfigFiles.h"
#include "ScopedEnv.h"
#include "ScratchDir.h"
#include "ServerEndpoint.h"
#include "SimProcess.h"
#include "platform/Registry.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using namespace vorn;
using namespace vorn::test;
using namespace std::chrono_literals;

namespace {

const std::string kKey = "SOFTWARE\\VornAutomation\\Tarnvale";
const std::string kClassKey = "SOFTWARE\\Classes\\CLSID\\{5E1B3D70-4C2A-4B8E-9F11-7A0C2D9E6B01}";

// A headless server with its own registry file, configured through "ConfigFile".
struct ServerRig {
    ScratchDir dir;
    ScopedEnv headless{"VORN_HEADLESS", "1"};
    ScopedEnv registryPath{"VORN_REGISTRY", nullptr};
    Registry registry{dir.file("registry.ini")};

    ServerRig() { setenv("VORN_REGISTRY", registry.path().c_str(), 1); }
    void configure(const std::string& devices) {
        registry.writeString(kKey, "ConfigFile", dir.write("plant.xml", tcpConfig("", devices)));
        registry.writeString(kKey, "OpcUaPort", "0");
    }
    std::unique_ptr<ChildProcess> start(const std::vector<std::string>& arguments = {}) {
        return std::make_unique<ChildProcess>(TARNVALE_PATH, arguments);
    }
};

} // namespace

TEST(ServerProcess, RegistrationSwitchesWriteOrRemoveTheRecordsAndEndAtOnce) {
    ServerRig rig;
    for (const char* registerSwitch : {"/regserver", "-RegServer"}) {
        auto server = rig.start({registerSwitch});
        EXPECT_EQ(server->waitForExit(10s), 0) << registerSwitch;
        EXPECT_EQ(rig.registry.readString(kClassKey, "ProgID").value_or(""),
                  "Vorn.ModBusTcpIpOPCServerDA.1.1");
        EXPECT_EQ(rig.registry.readString("SOFTWARE\\Classes\\Vorn.ModBusTcpIpOPCServerDA", "CLSID")
                      .value_or(""),
                  "{5E1B3D70-4C2A-4B8E-9F11-7A0C2D9E6B01}");
        EXPECT_NE(rig.registry.readString(kClassKey, "LocalServer").value_or("").find("Tarnvale"),
                  std::string::npos);
    }
    auto server = rig.start({"-unregserver"});
    EXPECT_EQ(server->waitForExit(10s), 0);
    EXPECT_FALSE(rig.registry.keyExists(kClassKey));
}

TEST(ServerProcess, NoDeviceConfiguredEndsWithTheMessageOnStderrAndExitCodeOne) {
    ServerRig rig;
    rig.configure("");
    auto server = rig.start();
    ASSERT_EQ(server->waitForExit(15s), 1);
    const std::string err = server->errorOutput();
    EXPECT_NE(err.find("No ModBus PLC configured. OPC Server being closed."), std::string::npos)
        << err;
    EXPECT_NE(err.find("value ConfigFile: " + rig.dir.file("plant.xml")), std::string::npos) << err;
}

TEST(ServerProcess, AMissingRegistryKeyIsReportedBeforeTheNoDeviceEnd) {
    ServerRig rig;
    auto server = rig.start();
    ASSERT_EQ(server->waitForExit(15s), 1);
    const std::string err = server->errorOutput();
    const size_t missing = err.find("The configuration file couldn't be loaded !");
    ASSERT_NE(missing, std::string::npos) << err;
    EXPECT_GT(err.find("No ModBus PLC configured"), missing);
    // Every place it looked: beside the program, then the registry file by its path.
    EXPECT_NE(err.find("beside the program: "), std::string::npos) << err;
    EXPECT_NE(err.find("Tarnvale.xml (not found)"), std::string::npos) << err;
    EXPECT_NE(err.find("registry file " + rig.registry.path()), std::string::npos) << err;
    EXPECT_NE(err.find("(no such key)"), std::string::npos) << err;
}

TEST(ServerProcess, AMissingOrInvalidConfigurationFileEndsWithExitCodeOneAndNamesIt) {
    ServerRig rig;
    const std::string missing = rig.dir.file("gone.xml");
    rig.registry.writeString(kKey, "ConfigFile", missing);
    auto server = rig.start();
    ASSERT_EQ(server->waitForExit(15s), 1);
    EXPECT_NE(server->errorOutput().find(missing + " (not found)"), std::string::npos)
        << server->errorOutput();

    const std::string invalid = rig.dir.write("broken.xml", "<VornModBusTcpIpCfg><MODBUS>");
    rig.registry.writeString(kKey, "ConfigFile", invalid);
    server = rig.start();
    ASSERT_EQ(server->waitForExit(15s), 1);
    const std::string err = server->errorOutput();
    EXPECT_NE(err.find("value ConfigFile: " + invalid), std::string::npos) << err;
    EXPECT_NE(err.find("not loaded"), std::string::npos) << err;
    EXPECT_NE(err.find("No ModBus PLC configured"), std::string::npos) << err;
}

namespace {

// Runs the OPC UA probe once against the server's endpoint (connect, read, disconnect).
bool probeOnce(ChildProcess& server, const std::string& home) {
    const std::string endpoint = opcUaEndpointOf(server);
    if (endpoint.empty())
        return false;
    ScopedEnv quietHome("HOME", home.c_str());
    ChildProcess node("/usr/bin/node", {PROBE_SCRIPT, endpoint, "read:P1.T"});
    bool answered = false;
    while (auto line = node.readLine(30s))
        answered = answered || line->find("\"step\":\"read:P1.T\"") != std::string::npos;
    return node.waitForExit(10s) == 0 && answered;
}

} // namespace

TEST(ServerProcess, AServerStartedOnDemandEndsWhenItsLastClientLeaves) {
    ServerRig rig;
    SimProcess device(MODBUS_SIM_PATH, {"--tcp", "127.0.0.1:0", "--unit", "1"});
    rig.configure(tcpDevice("P1", "127.0.0.1", tagElement("T", "HREGISTER VT_I2", "1"),
                            " port=\"" + std::to_string(device.port()) + "\""));
    auto embedded = rig.start({"-Embedding"});
    ASSERT_TRUE(probeOnce(*embedded, rig.dir.path())) << embedded->errorOutput();
    EXPECT_EQ(embedded->waitForExit(5s), 0) << "ends after its only client closed";

    auto byHand = rig.start({"-Embedding", "-ctt"});
    ASSERT_TRUE(probeOnce(*byHand, rig.dir.path())) << byHand->errorOutput();
    EXPECT_FALSE(byHand->waitForExit(2s)) << "\"-Embedding -ctt\" is no switch: it stays up";
    EXPECT_EQ(byHand->terminate(10s), 0);
}

TEST(ServerProcess, ARunningServerEndsCleanlyOnSigterm) {
    ServerRig rig;
    SimProcess device(MODBUS_SIM_PATH, {"--tcp", "127.0.0.1:0", "--unit", "1"});
    rig.configure(tcpDevice("P1", "127.0.0.1", tagElement("T", "HREGISTER VT_I2", "1"),
                            " port=\"" + std::to_string(device.port()) + "\""));
    for (const char* commandLine : {"", "-Embedding -ctt"}) {
        auto server = commandLine[0] ? rig.start({"-Embedding", "-ctt"}) : rig.start();
        // Running means serving: on a slow machine (the sanitizer build) starting takes a while.
        ASSERT_FALSE(opcUaEndpointOf(*server).empty()) << commandLine << server->errorOutput();
        EXPECT_FALSE(server->waitForExit(1500ms))
            << "the server keeps running: " << commandLine << server->errorOutput();
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(server->terminate(10s), 0) << server->errorOutput();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
        EXPECT_EQ(server->errorOutput().find("ERROR"), std::string::npos)
            << "nothing a sanitizer would report: " << server->errorOutput();
    }
}
