#include "platform/Registry.h"

#include "FileOwnership.h"
#include "ScopedEnv.h"
#include "ScratchDir.h"
#include "platform/InstalledLayout.h"

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

// Quillmar once wrote "[Software\...]" and the docs show "[SOFTWARE\...]": a file holding both
// is one key, its values merged, the later line winning.
TEST(Registry, SectionsDifferingOnlyInCaseAreOneKey) {
    vorn::test::ScratchDir dir;
    const std::string path = dir.write("registry.ini", "[Software\\VornAutomation\\Tarnvale]\n"
                                                       "OpcUaPort=4840\n"
                                                       "PollingMode=single\n"
                                                       "\n"
                                                       "[SOFTWARE\\VornAutomation\\Tarnvale]\n"
                                                       "ConfigFile=/srv/plant/Tarnvale.xml\n"
                                                       "PollingMode=perConnection\n");
    Registry reg(path);
    EXPECT_EQ(reg.readString(kKey, "ConfigFile").value_or(""), "/srv/plant/Tarnvale.xml");
    EXPECT_EQ(reg.readString(kKey, "OpcUaPort").value_or(""), "4840");
    EXPECT_EQ(reg.readString(kKey, "PollingMode").value_or(""), "perConnection");
    EXPECT_EQ(reg.valueNames(kKey),
              (std::vector<std::string>{"OpcUaPort", "PollingMode", "ConfigFile"}));

    // A write leaves one value behind, whichever section held it; a delete removes every copy.
    ASSERT_TRUE(reg.writeString(kKey, "PollingMode", "single"));
    EXPECT_EQ(reg.readString(kKey, "PollingMode").value_or(""), "single");
    ASSERT_TRUE(reg.deleteValue(kKey, "PollingMode"));
    EXPECT_FALSE(reg.readString(kKey, "PollingMode"));
    ASSERT_TRUE(reg.deleteKey(kKey));
    EXPECT_FALSE(reg.keyExists(kKey));
    EXPECT_FALSE(reg.readString(kKey, "ConfigFile"));
}

// The installed registry is root:vorn 0640; a rewrite must leave it so, whatever the writer's
// umask, and a new registry is its owner's only (it may hold password hashes).
TEST(Registry, AWriteKeepsTheFilesOwnerGroupAndModeAndANewFileIsPrivate) {
    vorn::test::ScratchDir dir;
    const std::string path = dir.write("registry.ini", "[" + kKey + "]\nOpcUaPort=4840\n");
    const vorn::test::FileOwnership installed = vorn::test::handOver(path, 0640);
    {
        vorn::test::ScopedUmask strict(077);
        Registry reg(path);
        ASSERT_TRUE(reg.writeString(kKey, "ConfigFile", "/etc/vorn/plant/Tarnvale.xml"))
            << reg.writeError();
        ASSERT_TRUE(reg.deleteValue(kKey, "OpcUaPort"));
    }
    EXPECT_EQ(vorn::test::ownershipOf(path), installed);

    vorn::test::ScopedUmask open(0);
    Registry fresh(dir.file("new/registry.ini"));
    ASSERT_TRUE(fresh.writeString(kKey, "ConfigFile", "/a.xml"));
    EXPECT_EQ(vorn::test::ownershipOf(fresh.path()).mode, 0600u);
}

// A registry the reader may not read is said to be so, with the reason, and never rewritten
// from the nothing that was read.
TEST(Registry, AnUnreadableFileIsAProblemAndIsNeverOverwritten) {
    vorn::test::ScratchDir dir;
    Registry missing(dir.file("missing.ini"));
    EXPECT_FALSE(missing.readProblem()) << "a missing file is a registry without keys";

    const std::string folder = dir.file("registry.ini");
    std::filesystem::create_directory(folder); // read() fails on it, whoever reads
    Registry unreadable(folder);
    EXPECT_EQ(unreadable.readProblem().value_or(""), folder + ": Is a directory");
    EXPECT_FALSE(unreadable.writeString(kKey, "ConfigFile", "/a.xml"));
    EXPECT_EQ(unreadable.writeError(), "cannot read " + folder + ": Is a directory");
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

// An installed program finds its installation's configuration folder from its own path; the
// package's prefix /usr keeps it in /etc, and a build tree belongs to no installation.
TEST(Registry, AnInstallationsConfigurationFolderFollowsTheProgramsPrefix) {
    EXPECT_EQ(configFolderOf("/usr/bin/Tarnvale"), "/etc/vorn");
    EXPECT_EQ(configFolderOf("/opt/vorn/bin/Quillmar"), "/opt/vorn/etc/vorn");
    EXPECT_FALSE(configFolderOf("/work/build/apps/Tarnvale"));
}
