// modbus-sim refuses bad arguments and bad values files with a clear message and exit code 2,
// and a port it cannot listen on with exit code 1, before serving anything.
#include "ScratchDir.h"
#include "SimProcess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vorn::test {
namespace {

using ::testing::HasSubstr;

constexpr int kBadInput = 2;
constexpr int kRuntimeError = 1;

SimExit runWithValues(const ScratchDir& scratch, const std::string& values) {
    return runSimulatorToExit(MODBUS_SIM_PATH, {"--tcp", "127.0.0.1:0", "--unit", "17", "--values",
                                                scratch.write("values.txt", values)});
}

TEST(SimulatorInput, BadValuesFileLinesAreReportedWithTheirLineNumber) {
    ScratchDir scratch;
    struct Case {
        std::string text;
        std::string expected;
    } cases[] = {
        {"hr 1 5\n# fine\nhr 70000 1\n", "values.txt:3: bad address '70000'"},
        {"coil 3 2\n", "values.txt:1: bad bit value '2'"},
        {"hr 1 70000\n", "values.txt:1: register value '70000' out of range"},
        {"xr 1 5\n", "values.txt:1: unknown table 'xr'"},
        {"hr 1\n", "values.txt:1: missing value"},
        {"hr 9..3 1\n", "values.txt:1: bad address range"},
        {"hr 1 \"AB\n", "values.txt:1: unterminated string"},
        {"coil 1 \"AB\"\n", "values.txt:1: a string needs a register table"},
        {"hr 1 5 6\n", "values.txt:1: bad value '5 6'"},
        {"\nunit 300\n", "values.txt:2: bad unit identifier '300'"},
        {"unit 3\nhr 1 5\n", "values.txt:2: unit 3 is not served"},
        {"hr 1 5\nhr 2 " + std::string(5000, '7') + "\n", "values.txt:2: line longer than"},
    };
    for (const Case& c : cases) {
        SimExit result = runWithValues(scratch, c.text);
        EXPECT_EQ(result.exitCode, kBadInput) << c.text;
        EXPECT_THAT(result.errorOutput, HasSubstr(c.expected)) << c.text;
    }
}

TEST(SimulatorInput, BadOptionsAreRefused) {
    const std::vector<std::vector<std::string>> cases = {
        {"--unit", "1"}, // neither --tcp nor --rtu
        {"--tcp", "127.0.0.1:0", "--rtu", "/dev/null"},
        {"--tcp", "127.0.0.1:99999"},
        {"--tcp", "localhost:0"},
        {"--tcp", "127.0.0.1:15030-15020"}, // a range runs upwards
        {"--tcp", "127.0.0.1:1-2000"},      // more devices than one process serves
        {"--tcp", "127.0.0.1:0,"},
        {"--tcp", "127.0.0.1:0", "--set", "hr:1=ABC"}, // strings must be quoted
        {"--tcp", "127.0.0.1:0", "--set", "hr:1"},
        {"--tcp", "127.0.0.1:0", "--unit", "1", "--exception", "2:3:2"},
        {"--tcp", "127.0.0.1:0", "--exception", "1:3:99"},
        {"--tcp", "127.0.0.1:0", "--toggle", "hr:1"},
        {"--tcp", "127.0.0.1:0", "--counter", "coil:1"},
        {"--tcp", "127.0.0.1:0", "--delay-ms"},
        {"--tcp", "127.0.0.1:0", "--frobnicate"},
        {"--rtu", "/dev/null", "--unit", "0"},
        {"--rtu", "/dev/null", "--baud", "9601"},
        {"--rtu", "/dev/null", "--format", "8X1"},
        {"--tcp", "127.0.0.1:0", "--values", "/nonexistent/values.txt"},
    };
    for (const auto& arguments : cases) {
        SimExit result = runSimulatorToExit(MODBUS_SIM_PATH, arguments);
        std::string shown;
        for (const auto& argument : arguments)
            shown += argument + " ";
        EXPECT_EQ(result.exitCode, kBadInput) << shown;
        EXPECT_THAT(result.errorOutput, HasSubstr("modbus-sim: ")) << shown;
    }
}

TEST(SimulatorInput, WhatItCannotServeEndsItWithExitCodeOne) {
    SimProcess first(MODBUS_SIM_PATH, {"--tcp", "127.0.0.1:0"});
    SimExit second = runSimulatorToExit(MODBUS_SIM_PATH, {"--tcp", first.where()});
    EXPECT_EQ(second.exitCode, kRuntimeError);
    EXPECT_THAT(second.errorOutput, HasSubstr("cannot listen on " + first.where()));

    SimExit noLog = runSimulatorToExit(
        MODBUS_SIM_PATH, {"--tcp", "127.0.0.1:0", "--log", "/nonexistent/requests.log"});
    EXPECT_EQ(noLog.exitCode, kRuntimeError);
    EXPECT_THAT(noLog.errorOutput, HasSubstr("cannot open the request log"));

    SimExit noDevice =
        runSimulatorToExit(MODBUS_SIM_PATH, {"--rtu", "/nonexistent/tty", "--unit", "1"});
    EXPECT_EQ(noDevice.exitCode, kRuntimeError);
    EXPECT_THAT(noDevice.errorOutput, HasSubstr("cannot open /nonexistent/tty"));
}

} // namespace
} // namespace vorn::test
