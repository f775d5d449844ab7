// The long options of the real Tarnvale binary: answers that end at once, with their exit codes,
// and "--check-config" on files with and without faults.
#include "ChildProcess.h"
#include "ConfigFiles.h"
#include "ScopedEnv.h"
#include "ScratchDir.h"
#include "SimProcess.h"

#include <chrono>
#include <gtest/gtest.h>

using namespace vorn::test;
using namespace std::chrono_literals;

namespace {

struct ProgramRun {
    int exitCode;
    std::string out;
    std::string err;
};

ProgramRun runTarnvale(const std::vector<std::string>& arguments) {
    ChildProcess program(TARNVALE_PATH, arguments);
    std::string out;
    while (auto line = program.readLine(10s))
        out += *line + "\n";
    const auto exitCode = program.waitForExit(10s);
    return {exitCode.value_or(-1), out, program.errorOutput()};
}

struct Rig {
    ScratchDir dir;
    ScopedEnv headless{"VORN_HEADLESS", "1"};
    ScopedEnv registry{"VORN_REGISTRY", nullptr};
    Rig() { setenv("VORN_REGISTRY", dir.file("registry.ini").c_str(), 1); }
};

} // namespace

TEST(CommandLineProcess, HelpAndVersionPrintAndEndWithZero) {
    Rig rig;
    ProgramRun help = runTarnvale({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: Tarnvale"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("--check-config"), std::string::npos);
    ProgramRun version = runTarnvale({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "Tarnvale 1.10 build 100\n");
}

TEST(CommandLineProcess, AnUnknownLongOptionIsRefusedWithTheUsageAndExitCodeTwo) {
    Rig rig;
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--verbose"}, {"--config"}, {"--help", "-ctt"}}) {
        ProgramRun refused = runTarnvale(arguments);
        EXPECT_EQ(refused.exitCode, 2) << arguments[0];
        EXPECT_NE(refused.err.find("unknown option \"" + arguments[0]), std::string::npos)
            << refused.err;
        EXPECT_NE(refused.err.find("Usage: Tarnvale"), std::string::npos);
        EXPECT_EQ(refused.out, "") << "nothing started";
    }
}

TEST(CommandLineProcess, CheckConfigNamesEverySkippedOrDegradedElementAndExitsOne) {
    Rig rig;
    const std::string path = rig.dir.write(
        "faulty.xml",
        tcpConfig(datatypeRow("HREGISTER", 3, 16, 6),
                  tcpDevice("P1", "127.0.0.1",
                            tagElement("Odd", "HREGISTER VT_NOSUCH", "1") +
                                tagElement("Shy", "HREGISTER VT_I2", "2", "", "SOMETIMES") +
                                tagElement("Far", "HREGISTER VT_I2", "70000") +
                                tagElement("Fine", "HREGISTER VT_I2", "3"))));
    ProgramRun check = runTarnvale({"--check-config", path});
    EXPECT_EQ(check.exitCode, 1) << check.out << check.err;
    EXPECT_NE(check.out.find("\"P1.Odd\": datatype \"HREGISTER VT_NOSUCH\""), std::string::npos)
        << check.out;
    EXPECT_NE(check.out.find("\"P1.Shy\": accessrights \"SOMETIMES\""), std::string::npos)
        << check.out;
    EXPECT_NE(check.out.find("\"P1.Far\" skipped: \"address\" value \"70000\""), std::string::npos)
        << check.out;
    EXPECT_NE(check.out.find("devices: 1, tags: 3,"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("3 problem(s)"), std::string::npos) << check.out;
}

TEST(CommandLineProcess, CheckConfigReportsAFunctionCodeBeyondAByteAndAHostName) {
    Rig rig;
    const std::string path = rig.dir.write(
        "names.xml",
        tcpConfig("\t\t<DATATYPE name=\"HREGISTER\" readcode=\"256\" writecode=\"16\"/>\r\n",
                  tcpDevice("Local", "localhost", tagElement("T", "HREGISTER VT_I2", "1")) +
                      tcpDevice("P1", "127.0.0.1", tagElement("T", "HREGISTER VT_I2", "1"))));
    ProgramRun check = runTarnvale({"--check-config", path});
    EXPECT_EQ(check.exitCode, 1) << check.out << check.err;
    EXPECT_NE(check.out.find("DATATYPE \"HREGISTER\" skipped: \"readcode\" value \"256\""),
              std::string::npos)
        << check.out;
    EXPECT_NE(check.out.find("PLC \"Local\" skipped with its tags: address \"localhost\" is no "
                             "IPv4 address"),
              std::string::npos)
        << check.out;
    EXPECT_NE(check.out.find("devices: 1, tags: 1,"), std::string::npos) << check.out;
}

TEST(CommandLineProcess, CheckConfigOnACleanFileExitsZeroWithTheSummary) {
    Rig rig;
    const std::string path = rig.dir.write(
        "clean.xml",
        tcpConfig(datatypeRow("HREGISTER", 3, 16, 6) + datatypeRow("COIL", 1, 15, 5),
                  tcpDevice("P1", "127.0.0.1",
                            tagElement("A", "HREGISTER VT_I2", "1") +
                                tagElement("B", "HREGISTER VT_I2", "2") +
                                tagElement("Far", "HREGISTER VT_I2", "900", "", "READ")) +
                      tcpDevice("P2", "127.0.0.2", tagElement("C", "COIL VT_BOOL", "0"))));
    ProgramRun check = runTarnvale({"--check-config", path});
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    // A and B share one request; the far register and the coil need one each.
    EXPECT_NE(check.out.find("devices: 2, tags: 4, poll blocks per update rate: 3"),
              std::string::npos)
        << check.out;
    EXPECT_NE(check.out.find("configuration OK"), std::string::npos);

    ProgramRun missing = runTarnvale({"--check-config", rig.dir.file("none.xml")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.out.find(rig.dir.file("none.xml") + " (not found)"), std::string::npos)
        << missing.out;
}

TEST(CommandLineProcess, ConfigOptionServesTheNamedFileInsteadOfTheRegistrysOne) {
    Rig rig;
    SimProcess device(MODBUS_SIM_PATH, {"--tcp", "127.0.0.1:0", "--unit", "1"});
    const std::string path = rig.dir.write(
        "named.xml",
        tcpConfig("", tcpDevice("P1", "127.0.0.1", tagElement("T", "HREGISTER VT_I2", "1"),
                                " port=\"" + std::to_string(device.port()) + "\"")));
    setenv("VORN_REGISTRY",
           rig.dir
               .write("registry.ini", "[SOFTWARE\\VornAutomation\\Tarnvale]\n"
                                      "ConfigFile=" +
                                          rig.dir.file("absent.xml") + "\nOpcUaPort=0\n")
               .c_str(),
           1);
    ChildProcess server(TARNVALE_PATH, {"--config", path});
    auto line = server.readLine(15s);
    ASSERT_TRUE(line) << server.errorOutput();
    EXPECT_NE(line->find("Tarnvale: listening opc.tcp://"), std::string::npos) << *line;
    EXPECT_EQ(server.terminate(10s), 0);
}
