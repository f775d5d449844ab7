// The long options of the real Tarnvale binary: answers that end at once, with their exit codes,
// and "--check-config" on files with and without faults, and with "--probe" against devices.
#include "ChildProcess.h"
#include "ConfigFiles.h"
#include "RequestLogRecords.h"
#include "ScopedEnv.h"
#include "ScratchDir.h"
#include "SimProcess.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace vorn::test;
using namespace std::chrono_literals;

namespace {

ProgramRun runTarnvale(const std::vector<std::string>& arguments) {
    return runToEnd(TARNVALE_PATH, arguments, 20s);
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

// The registry holds every setting, the accounts among them: one the server cannot read is an
// error naming the file and the reason, never a registry without keys.
TEST(CommandLineProcess, ARegistryTheServerCannotReadStopsItWithTheFileAndTheReason) {
    Rig rig;
    const std::string folder = rig.dir.file("registry.ini");
    std::filesystem::create_directory(folder); // unreadable as a file, whoever reads it
    const ProgramRun run = runTarnvale({});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Can't start the OPC server: the registry file cannot be read: " +
                           folder + ": Is a directory"),
              std::string::npos)
        << run.err;
    const ProgramRun check = runTarnvale({"--check-config"});
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_NE(check.out.find("value ConfigFile: (cannot read " + folder + ": Is a directory)"),
              std::string::npos)
        << check.out;

    // As the service user reads a registry it has no right to (root may read anything).
    if (::geteuid() != 0 || !std::filesystem::exists("/usr/bin/setpriv"))
        return;
    const std::string privateFile = rig.dir.write("private.ini", "[SOFTWARE\\VornAutomation]\n");
    ScopedEnv registry("VORN_REGISTRY", privateFile.c_str());
    ChildProcess server("/usr/bin/setpriv",
                        {"--reuid=65534", "--regid=65534", "--clear-groups", TARNVALE_PATH});
    EXPECT_EQ(server.waitForExit(20s), 1);
    EXPECT_NE(server.errorOutput().find("the registry file cannot be read: " + privateFile +
                                        ": Permission denied"),
              std::string::npos)
        << server.errorOutput();
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

TEST(CommandLineProcess, CheckConfigProbeNamesTheBlockADeviceRefusesForAHoleAndASilentDevice) {
    Rig rig;
    // Unit 1 does not map register 11; unit 2 never answers.
    const std::string log = rig.dir.file("device.log");
    SimProcess sim(MODBUS_SIM_PATH,
                   {"--tcp", "127.0.0.1:0", "--unit", "1", "--unit", "2", "--silent", "2",
                    "--unmapped", "1:hr:11", "--set", "1:hr:10..12=7", "--log", log});
    const std::string port = " port=\"" + std::to_string(sim.port()) + "\"";
    const std::string tags = tagElement("A", "HREGISTER VT_I2", "10") +
                             tagElement("Hole", "HREGISTER VT_I2", "11") +
                             tagElement("B", "HREGISTER VT_I2", "12");
    const std::string path = rig.dir.write(
        "holes.xml",
        tcpConfig(datatypeRow("HREGISTER", 3, 16, 6),
                  tcpDevice("P1", "127.0.0.1", tags, port + " id=\"1\"") +
                      tcpDevice("Dead", "127.0.0.1", tags, port + " id=\"2\" timeout=\"500\"")));

    // Without --probe no device hears anything.
    ProgramRun plain = runTarnvale({"--check-config", path});
    EXPECT_EQ(plain.exitCode, 0) << plain.out << plain.err;
    EXPECT_EQ(plain.out.find("probe"), std::string::npos) << plain.out;
    EXPECT_TRUE(readRequestLog(log).empty());

    const auto started = std::chrono::steady_clock::now();
    ProgramRun probe = runTarnvale({"--check-config", "--probe", path});
    EXPECT_LT(std::chrono::steady_clock::now() - started, 15s) << "a silent device holds the probe";
    EXPECT_EQ(probe.exitCode, 0) << "the file is sound: " << probe.out << probe.err;
    EXPECT_NE(probe.out.find("configuration OK"), std::string::npos) << probe.out;
    EXPECT_NE(probe.out.find("probe: P1: registers 10 to 12 refused together (exception 2, "
                             "illegal data address): read tag by tag"),
              std::string::npos)
        << probe.out;
    EXPECT_NE(probe.out.find("probe:   P1.A: read\n"), std::string::npos) << probe.out;
    EXPECT_NE(probe.out.find("probe:   P1.B: read\n"), std::string::npos) << probe.out;
    EXPECT_NE(probe.out.find("probe:   P1.Hole: exception 2, illegal data address\n"),
              std::string::npos)
        << probe.out;
    EXPECT_NE(
        probe.out.find("probe: Dead at 127.0.0.1:" + std::to_string(sim.port()) + ": unreachable"),
        std::string::npos)
        << probe.out;
    EXPECT_NE(probe.out.find("probe: 1 device(s) unreachable, 1 block(s) split"), std::string::npos)
        << probe.out;

    // The device saw the block refused, then each tag on its own, once.
    std::vector<std::pair<int, int>> unit1;
    for (const LoggedRequest& r : readRequestLog(log))
        if (r.unit == 1)
            unit1.emplace_back(r.start, r.count);
    ASSERT_FALSE(unit1.empty());
    std::sort(unit1.begin() + 1, unit1.end()); // the tags' own reads, in no promised order
    EXPECT_EQ(unit1, (std::vector<std::pair<int, int>>{{10, 3}, {10, 1}, {11, 1}, {12, 1}}));
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
