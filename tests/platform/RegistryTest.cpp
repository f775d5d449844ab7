#include "platform/Registry.h"

#include "ScopedEnv.h"
#include "ScratchDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace vorn;

namespace {
const std::string kKey = "SOFTWARE\\VornAutomation\\Tarnvale";
}

TEST(Registry, WritesReadsAndDeletesValuesIgnoringCase) {
    vorn::test::ScratchDir dir;
    Registry reg(dir.file("sub/registry.ini"));
    EXPECT_FALSE(reg.keyExists(kKey)) << "a missing file is a missing key";
    EXPECT_FALSE(reg.readString(kKey, "ConfigFile"));

    ASSERT_TRUE(reg.writeString(kKey, "ConfigFile", "/srv/plant/a b=c.xml"));
    ASSERT_TRUE(reg.writeString(kKey, "OpcUaPort", "4840"));
    EXPECT_TRUE(reg.keyExists("software\\vornautomation\\TARNVALE"));
    EXPECT_EQ(reg.readString(kKey, "configfile").value_or(""), "/srv/plant/a b=c.xml");

    ASSERT_TRUE(reg.writeString(kKey, "CONFIGFILE", "/other.xml"));
    EXPECT_EQ(reg.readString(kKey, "ConfigFile").value_or(""), "/other.xml");

    EXPECT_TRUE(reg.deleteValue(kKey, "ConfigFile"));
    EXPECT_FALSE(reg.readString(kKey, "ConfigFile"));
    EXPECT_TRUE(reg.keyExists(kKey));
    EXPECT_TRUE(reg.deleteKey(kKey));
    EXPECT_FALSE(reg.keyExists(kKey));
}

TEST(Registry, KeepsOtherSectionsAndCommentsAndRefusesLineBreaks) {
    vorn::test::ScratchDir dir;
    const std::string path = dir.file("registry.ini");
    {
        std::ofstream out(path);
        out << "; plant registry\n[SOFTWARE\\VornAutomation\\Rennick\\Ports]\nCOM1=/dev/ttyUSB0\n";
    }
    Registry reg(path);
    ASSERT_TRUE(reg.writeString(kKey, "ConfigFile", "/a.xml"));
    EXPECT_FALSE(reg.writeString(kKey, "ConfigFile", "/b.xml\n[Injected]"));
    EXPECT_EQ(reg.readString("SOFTWARE\\VornAutomation\\Rennick\\Ports", "COM1").value_or(""),
              "/dev/ttyUSB0");
    EXPECT_EQ(reg.readString(kKey, "ConfigFile").value_or(""), "/a.xml");
    std::ifstream in(path);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "; plant registry");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp." + std::to_string(getpid())));
}

TEST(Registry, PathFollowsTheEnvironment) {
    vorn::test::ScopedEnv registry("VORN_REGISTRY", "/tmp/explicit.ini");
    EXPECT_EQ(Registry::defaultPath(), "/tmp/explicit.ini");
    vorn::test::ScopedEnv unset("VORN_REGISTRY", nullptr);
    vorn::test::ScopedEnv xdg("XDG_CONFIG_HOME", "/tmp/xdg");
    EXPECT_EQ(Registry::defaultPath(), "/tmp/xdg/VornAutomation/registry.ini");
    vorn::test::ScopedEnv noXdg("XDG_CONFIG_HOME", nullptr);
    vorn::test::ScopedEnv home("HOME", "/home/op");
    EXPECT_EQ(Registry::defaultPath(), "/home/op/.config/VornAutomation/registry.ini");
}
