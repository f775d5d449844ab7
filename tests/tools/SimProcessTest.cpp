// The test-support side of the simulator: what later end-to-end tests rely on when they start it.
#include "SimProcess.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

namespace vorn::test {
namespace {

TEST(SimProcess, TheSimulatorHoldsNoneOfTheTestsDescriptors) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0); // inheritable, as a server's sockets may be
    SimProcess sim(MODBUS_SIM_PATH, {"--tcp", "127.0.0.1:0"});

    ::close(ends[1]);
    // With no other writer left the reader sees the end of the pipe at once.
    pollfd reader{ends[0], POLLIN, 0};
    ASSERT_EQ(poll(&reader, 1, 1000), 1);
    char byte = 0;
    EXPECT_EQ(::read(ends[0], &byte, 1), 0);
    ::close(ends[0]);
}

TEST(SimProcess, ReportsWhyTheSimulatorDidNotStart) {
    try {
        SimProcess sim(MODBUS_SIM_PATH, {"--tcp", "127.0.0.1:0", "--unit", "999"});
        FAIL() << "started with a bad unit";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("bad unit identifier '999'"), std::string::npos)
            << error.what();
    }
}

TEST(SimProcess, KillsTheSimulatorWhenItGoes) {
    pid_t pid = 0;
    {
        SimProcess sim(MODBUS_SIM_PATH, {"--tcp", "127.0.0.1:0"});
        pid = sim.process().pid();
        ASSERT_EQ(::kill(pid, 0), 0);
    }
    EXPECT_NE(::kill(pid, 0), 0); // reaped, so gone altogether
}

} // namespace
} // namespace vorn::test
