// The account tool as an operator runs it on an installed registry: the file keeps its owner,
// group and mode through a change (also under umask 077), an unreadable registry is said to be
// so and left alone, and --help and --version answer without a registry at all.
#include "ChildProcess.h"
#include "FileOwnership.h"
#include "ScopedEnv.h"
#include "ScratchDir.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace vorn::test;
using namespace std::chrono_literals;

namespace {

// Runs vorn-users through the shell, with `umask` set and `input` as its standard input.
ProgramRun usersTool(const std::string& arguments, const std::string& input = "",
                     const std::string& umask = "022") {
    return runToEnd("/bin/sh",
                    {"-c",
                     "umask " + umask + "; printf '%s\\n' '" + input + "' | \"$0\" " + arguments,
                     VORN_USERS_PATH},
                    20s);
}

} // namespace

TEST(UsersTool, AChangeKeepsTheRegistrysOwnerGroupAndModeUnderAStrictUmask) {
    ScratchDir dir;
    const std::string registry =
        dir.write("registry.ini", "[SOFTWARE\\VornAutomation\\Tarnvale]\nConfigFile=/p.xml\n");
    const FileOwnership installed = handOver(registry, 0640);
    ScopedEnv use("VORN_REGISTRY", registry.c_str());

    const ProgramRun added =
        usersTool("add operator --role read --server Tarnvale", "op-Secret-1", "077");
    ASSERT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(ownershipOf(registry), installed) << "after add";
    const ProgramRun removed = usersTool("remove operator --server Tarnvale", "", "077");
    ASSERT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_EQ(ownershipOf(registry), installed) << "after remove";
    EXPECT_NE(contentsOf(registry).find("ConfigFile=/p.xml"), std::string::npos);
}

TEST(UsersTool, AnUnreadableRegistryIsNamedWithTheReasonAndLeftAlone) {
    ScratchDir dir;
    const std::string registry = dir.file("registry.ini");
    std::filesystem::create_directory(registry); // unreadable as a file, whoever reads it
    ScopedEnv use("VORN_REGISTRY", registry.c_str());
    for (const char* command :
         {"list --server Tarnvale", "add operator --role read --server Tarnvale"}) {
        const ProgramRun run = usersTool(command, "op-Secret-1");
        EXPECT_EQ(run.exitCode, 1) << command;
        EXPECT_NE(run.err.find("cannot read the registry file " + registry + ": Is a directory"),
                  std::string::npos)
            << command << ": " << run.err;
    }
    EXPECT_TRUE(std::filesystem::is_directory(registry));
}

TEST(UsersTool, HelpAndVersionAnswerAndExitZero) {
    ScratchDir dir;
    ScopedEnv use("VORN_REGISTRY", dir.file("registry.ini").c_str());
    const ProgramRun help = usersTool("--help");
    EXPECT_EQ(help.exitCode, 0) << help.err;
    EXPECT_EQ(help.out.rfind("usage: vorn-users add NAME", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("Here that is " + dir.file("registry.ini")), std::string::npos)
        << help.out;
    const ProgramRun version = usersTool("--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "vorn-users 1.10.100\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("registry.ini"))) << "nothing written";
}
