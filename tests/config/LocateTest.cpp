#include "ConfigFiles.h"
#include "LoadedConfig.h"

#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::test;

namespace {

const std::string kTarnvaleKey = "SOFTWARE\\VornAutomation\\Tarnvale";

std::string oneDevice(const std::string& name) {
    return tcpConfig("", tcpDevice(name, "127.0.0.1", tagElement("T", "VT_I2", "0")));
}

} // namespace

TEST(Locate, TheFileBesideTheProgramWinsOverTheRegistry) {
    LoadedConfig c(ServerKind::tarnvale);
    c.dir.write("bin/Tarnvale.xml", oneDevice("Beside"));
    Registry(c.dir.file("registry.ini"))
        .writeString(kTarnvaleKey, "ConfigFile",
                     c.dir.write("elsewhere.xml", oneDevice("Registered")));
    c.root->setTreeDelimiter('/');
    c.root->setRefusedChars("#");
    ConfigLoader loader = c.loader();
    loader.setProgramPath(c.dir.file("bin/Tarnvale"));
    loader.locateAndLoad(*c.root);
    EXPECT_TRUE(c.tag("Beside.T"));
    EXPECT_FALSE(c.tag("Registered.T"));
    // An installed service would otherwise serve it without a word.
    ASSERT_FALSE(c.traces.empty());
    EXPECT_EQ(c.traces.front(),
              c.dir.file("bin/Tarnvale.xml") + " beside the program is served, not " +
                  c.dir.file("elsewhere.xml") + " that the registry value ConfigFile names");
    EXPECT_EQ(c.root->getTreeDelimiter(), '.');
    EXPECT_EQ(c.root->getRefusedChars(), "");
}

TEST(Locate, AnExeSuffixIsReplacedByXml) {
    LoadedConfig c(ServerKind::tarnvale);
    c.dir.write("bin/Tarnvale.xml", oneDevice("Beside"));
    ConfigLoader loader = c.loader();
    loader.setProgramPath(c.dir.file("bin/Tarnvale.exe"));
    loader.locateAndLoad(*c.root);
    EXPECT_TRUE(c.tag("Beside.T"));
}

TEST(Locate, OnlyTheProgramNameLosesItsExeSuffix) {
    LoadedConfig c(ServerKind::tarnvale);
    c.dir.write("app.exes/Tarnvale.xml", oneDevice("Beside"));
    c.dir.write("app.exe.xml", oneDevice("Cut"));
    ConfigLoader loader = c.loader();
    loader.setProgramPath(c.dir.file("app.exes/Tarnvale"));
    loader.locateAndLoad(*c.root);
    EXPECT_TRUE(c.tag("Beside.T"));
    EXPECT_FALSE(c.tag("Cut.T"));
}

TEST(Locate, TheRegistryValueNamesTheFileWhenNoneIsBesideTheProgram) {
    LoadedConfig c(ServerKind::tarnvale);
    Registry(c.dir.file("registry.ini"))
        .writeString(kTarnvaleKey, "ConfigFile",
                     c.dir.write("plant/cfg.xml", oneDevice("Registered")));
    ConfigLoader loader = c.loader();
    loader.setProgramPath(c.dir.file("bin/Tarnvale"));
    loader.locateAndLoad(*c.root);
    EXPECT_TRUE(c.tag("Registered.T"));
    EXPECT_TRUE(c.messages().empty());
}

TEST(Locate, AKeyWithoutTheValueLoadsNothingAndSaysNothing) {
    LoadedConfig c(ServerKind::tarnvale);
    Registry(c.dir.file("registry.ini")).writeString(kTarnvaleKey, "OpcUaPort", "4840");
    ConfigLoader loader = c.loader();
    loader.setProgramPath(c.dir.file("bin/Tarnvale"));
    loader.locateAndLoad(*c.root);
    EXPECT_EQ(c.config.devices.getCount(), 0u);
    EXPECT_TRUE(c.messages().empty());
}

TEST(Locate, AMissingKeyIsReportedWithTheServersCaption) {
    for (auto [kind, caption] : {std::pair{ServerKind::tarnvale, "ModBus Tcp/Ip OPC Server"},
                                 std::pair{ServerKind::rennick, "ModBus RTU OPC Server"}}) {
        LoadedConfig c(kind);
        ConfigLoader loader = c.loader();
        loader.setProgramPath(c.dir.file("bin/Server"));
        loader.locateAndLoad(*c.root);
        ASSERT_EQ(c.messages().size(), 1u);
        EXPECT_EQ(c.messages()[0].text, "The configuration file couldn't be loaded !");
        EXPECT_EQ(c.messages()[0].caption, caption);
        EXPECT_EQ(c.config.devices.getCount(), 0u);
    }
}
