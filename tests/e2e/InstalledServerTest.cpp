// The installed layout: `cmake --install` into a fresh prefix, then the installed Tarnvale run
// against the device simulator, finding its error texts in <prefix>/share/vorn.
#include "ChildProcess.h"
#include "ConfigFiles.h"
#include "ScopedEnv.h"
#include "ScratchDir.h"
#include "SimProcess.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace vorn::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

const std::string kMissingTexts = "error texts not found";

// Reads one tag through OPC UA from the server whose endpoint line comes first on its stdout.
bool readsThroughOpcUa(ChildProcess& server, const std::string& home) {
    auto line = server.readLine(20s);
    if (!line || line->find("listening opc.tcp://") == std::string::npos)
        return false;
    const std::string endpoint = "opc.tcp://127.0.0.1:" + line->substr(line->rfind(':') + 1);
    ScopedEnv quietHome("HOME", home.c_str());
    ChildProcess node("/usr/bin/node", {PROBE_SCRIPT, endpoint, "wait-good:P1.T:10000"});
    bool good = false;
    while (auto reply = node.readLine(30s))
        good = good || reply->find("\"status\":\"Good\"") != std::string::npos;
    return node.waitForExit(10s) == 0 && good;
}

// `cmake --install` of this build into `prefix`.
void installInto(const std::string& prefix) {
    ChildProcess install(CMAKE_PATH, {"--install", BUILD_DIR, "--prefix", prefix});
    while (install.readLine(60s)) {
    }
    ASSERT_EQ(install.waitForExit(60s), 0) << install.errorOutput();
}

} // namespace

TEST(InstalledServer, RunsFromATemporaryPrefixAndFindsItsErrorTextsInShare) {
    ScratchDir dir;
    const std::string prefix = dir.file("prefix");
    ASSERT_NO_FATAL_FAILURE(installInto(prefix));
    for (const char* installed :
         {"bin/Tarnvale", "bin/Rennick", "share/vorn/Tarnvale.dat", "share/vorn/Rennick.dat",
          "lib/systemd/system/tarnvale.service", "lib/systemd/system/rennick.service",
          "etc/vorn/registry.ini", "share/doc/vorn/README.md"})
        EXPECT_TRUE(fs::exists(prefix + "/" + installed)) << installed;
    EXPECT_FALSE(fs::exists(prefix + "/bin/Tarnvale.dat")) << "the texts live in share/ only";

    SimProcess device(MODBUS_SIM_PATH, {"--tcp", "127.0.0.1:0", "--unit", "1"});
    const std::string config = dir.write(
        "plant.xml",
        tcpConfig("", tcpDevice("P1", "127.0.0.1", tagElement("T", "HREGISTER VT_I2", "1"),
                                " port=\"" + std::to_string(device.port()) + "\"")));
    dir.write("registry.ini",
              "[SOFTWARE\\VornAutomation\\Tarnvale]\nConfigFile=" + config + "\nOpcUaPort=0\n");
    ScopedEnv headless("VORN_HEADLESS", "1");
    ScopedEnv registry("VORN_REGISTRY", dir.file("registry.ini").c_str());
    {
        ChildProcess server(prefix + "/bin/Tarnvale", {});
        EXPECT_TRUE(readsThroughOpcUa(server, dir.path())) << server.errorOutput();
        EXPECT_EQ(server.terminate(15s), 0);
        EXPECT_EQ(server.errorOutput().find(kMissingTexts), std::string::npos)
            << server.errorOutput();
    }
    // Without the file the server still serves, and says once where it looked.
    fs::remove(prefix + "/share/vorn/Tarnvale.dat");
    ChildProcess server(prefix + "/bin/Tarnvale", {});
    EXPECT_TRUE(readsThroughOpcUa(server, dir.path())) << server.errorOutput();
    EXPECT_EQ(server.terminate(15s), 0);
    const std::string err = server.errorOutput();
    const size_t said = err.find(kMissingTexts);
    ASSERT_NE(said, std::string::npos) << err;
    EXPECT_EQ(err.find(kMissingTexts, said + 1), std::string::npos) << "once";
    EXPECT_NE(err.find(prefix + "/bin/../share/vorn/Tarnvale.dat"), std::string::npos) << err;
}

// Installed elsewhere than /usr, the units, the registry and the desktop entry name the
// prefix's paths, the units pass systemd's check, and the programs read the prefix's registry
// without being told where it is.
TEST(InstalledServer, AnotherPrefixHasItsPathsInTheUnitsAndItsRegistryIsTheProgramsOwn) {
    ScratchDir dir;
    const std::string prefix = dir.file("opt/vorn");
    ASSERT_NO_FATAL_FAILURE(installInto(prefix));
    const std::string etc = prefix + "/etc/vorn";
    for (const char* unit : {"tarnvale", "rennick"}) {
        const std::string text = contentsOf(prefix + "/lib/systemd/system/" + unit + ".service");
        const std::string program = std::string(unit) == "tarnvale" ? "Tarnvale" : "Rennick";
        EXPECT_NE(text.find("ExecStart=" + prefix + "/bin/" + program + "\n"), std::string::npos)
            << text;
        EXPECT_NE(text.find("Environment=VORN_REGISTRY=" + etc + "/registry.ini\n"),
                  std::string::npos)
            << text;
        EXPECT_EQ(text.find("/usr/"), std::string::npos) << text;
    }
    ChildProcess verify("/usr/bin/systemd-analyze",
                        {"verify", prefix + "/lib/systemd/system/tarnvale.service",
                         prefix + "/lib/systemd/system/rennick.service"});
    while (verify.readLine(60s)) {
    }
    EXPECT_EQ(verify.waitForExit(60s), 0) << verify.errorOutput();
    EXPECT_EQ(verify.errorOutput(), "");

    const std::string registry = contentsOf(etc + "/registry.ini");
    EXPECT_NE(registry.find("ConfigFile=" + etc + "/plant/Tarnvale.xml\n"), std::string::npos)
        << registry;
    EXPECT_NE(registry.find("PkiFolder=/var/lib/vorn/pki/Tarnvale\n"), std::string::npos)
        << "state stays where systemd keeps it";
    EXPECT_TRUE(fs::is_directory(etc + "/plant"));
    EXPECT_NE(contentsOf(prefix + "/share/applications/quillmar.desktop")
                  .find("Exec=" + prefix + "/bin/Quillmar\n"),
              std::string::npos);
    EXPECT_TRUE(fs::exists(prefix + "/share/icons/hicolor/scalable/apps/quillmar.svg"));

    ScopedEnv noRegistry("VORN_REGISTRY", nullptr);
    EXPECT_NE(runToEnd(prefix + "/bin/vorn-users", {"--help"}, 30s)
                  .out.find("Here that is " + etc + "/registry.ini"),
              std::string::npos);
    const std::string check = runToEnd(prefix + "/bin/Tarnvale", {"--check-config"}, 30s).out;
    EXPECT_NE(check.find("registry file " + etc +
                         "/registry.ini, key "
                         "SOFTWARE\\VornAutomation\\Tarnvale, value ConfigFile: " +
                         etc + "/plant/Tarnvale.xml (not found)"),
              std::string::npos)
        << check;
}
