// Every program and tool answers --help and --version without a display (as over ssh or under
// systemd) and ends with exit code 0; the servers' help names the registry file and the values
// they read in it.
#include "ChildProcess.h"
#include "ScopedEnv.h"
#include "ScratchDir.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>

using namespace vorn::test;
using namespace std::chrono_literals;

namespace {

ProgramRun run(const std::string& program, const std::vector<std::string>& arguments) {
    return runToEnd(program, arguments, 20s);
}

struct NoDisplay {
    ScratchDir dir;
    ScopedEnv display{"DISPLAY", nullptr};
    ScopedEnv wayland{"WAYLAND_DISPLAY", nullptr};
    ScopedEnv platform{"QT_QPA_PLATFORM", nullptr};
    ScopedEnv headless{"VORN_HEADLESS", nullptr};
    ScopedEnv registry{"VORN_REGISTRY", nullptr};
    NoDisplay() { setenv("VORN_REGISTRY", dir.file("registry.ini").c_str(), 1); }
};

} // namespace

TEST(ProgramHelp, EveryProgramAnswersHelpAndVersionWithoutADisplay) {
    NoDisplay rig;
    const std::vector<std::pair<std::string, std::string>> programs{
        {TARNVALE_PATH, "Tarnvale 1.10 build 100"},
        {RENNICK_PATH, "Rennick 1.10 build 100"},
        {QUILLMAR_PATH, "Quillmar 1.10."},
        {VORN_USERS_PATH, "vorn-users 1.10.100"},
        {MODBUS_SIM_PATH, "modbus-sim 1.10"}};
    for (const auto& [program, version] : programs) {
        const ProgramRun help = run(program, {"--help"});
        EXPECT_EQ(help.exitCode, 0) << program << ": " << help.err;
        EXPECT_NE(help.out.find("sage: "), std::string::npos) << program << ": " << help.out;
        const ProgramRun said = run(program, {"--version"});
        EXPECT_EQ(said.exitCode, 0) << program << ": " << said.err;
        EXPECT_EQ(said.out.rfind(version, 0), 0u) << program << ": " << said.out;
    }
    EXPECT_FALSE(std::filesystem::exists(rig.dir.file("registry.ini"))) << "nothing written";
}

TEST(ProgramHelp, TheServersHelpNamesTheRegistryFileAndItsValues) {
    NoDisplay rig;
    const ProgramRun tarnvale = run(TARNVALE_PATH, {"--help"});
    for (const std::string& said :
         {"Registry file: " + rig.dir.file("registry.ini"),
          std::string("[SOFTWARE\\VornAutomation\\Tarnvale]"), std::string("ConfigFile"),
          std::string("OpcUaPort"), std::string("PollingMode"), std::string("SecurityPolicies"),
          std::string("PkiFolder"), std::string("AllowAnonymous")})
        EXPECT_NE(tarnvale.out.find(said), std::string::npos) << said << "\n" << tarnvale.out;
    EXPECT_EQ(tarnvale.out.find("CommLog"), std::string::npos) << "a Rennick value";
    const ProgramRun rennick = run(RENNICK_PATH, {"--help"});
    for (const char* said : {"[SOFTWARE\\VornAutomation\\Rennick]", "CommLog ", "CommLogFolder",
                             "[SOFTWARE\\VornAutomation\\Rennick\\Ports]"})
        EXPECT_NE(rennick.out.find(said), std::string::npos) << said << "\n" << rennick.out;
}

TEST(ProgramHelp, QuillmarWithoutADisplaySaysSoInsteadOfAborting) {
    NoDisplay rig;
    const ProgramRun editor = run(QUILLMAR_PATH, {});
    EXPECT_EQ(editor.exitCode, 1);
    EXPECT_NE(editor.err.find("Quillmar: no display"), std::string::npos) << editor.err;
}
