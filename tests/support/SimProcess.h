// The Modbus device simulator (tools/modbus-sim) as a test's peer: started with the arguments
// given, waited for until it reports where it listens, and killed when the test ends.
//
//   vorn::test::SimProcess sim(MODBUS_SIM_PATH, {"--tcp", "127.0.0.1:0", "--unit", "1"});
//   modbus_t* client = modbus_new_tcp(sim.host().c_str(), sim.port());
//
// Port 0 lets the simulator pick a free port, so tests can run in parallel.
#pragma once

#include "ChildProcess.h"

#include <chrono>
#include <string>
#include <vector>

namespace vorn::test {

class SimProcess {
public:
    static constexpr std::chrono::milliseconds kReadyTimeout{5000};

    // Throws std::runtime_error, with the simulator's stderr, when it does not report ready
    // within `readyTimeout` (bad arguments, port taken, device missing).
    SimProcess(const std::string& simulatorPath, const std::vector<std::string>& arguments,
               std::chrono::milliseconds readyTimeout = kReadyTimeout);

    // What followed "listening ": "ADDRESS:PORT" for TCP, the device path for RTU.
    const std::string& where() const { return where_; }
    std::string host() const;       // TCP only
    int port() const;               // TCP only: the first port served
    std::vector<int> ports() const; // TCP only: every port served, in the order given

    ChildProcess& process() { return process_; }

    // SIGTERM and wait; the exit code, or nullopt when it did not end within `timeout`.
    std::optional<int> stop(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        return process_.terminate(timeout);
    }

private:
    ChildProcess process_;
    std::string where_;
};

// Runs the simulator with arguments that are expected to make it end by itself (bad input) and
// returns its exit code and stderr; the exit code is nullopt when it was still running after
// `timeout` (it is killed then).
struct SimExit {
    std::optional<int> exitCode;
    std::string errorOutput;
};
SimExit runSimulatorToExit(const std::string& simulatorPath,
                           const std::vector<std::string>& arguments,
                           std::chrono::milliseconds timeout = std::chrono::seconds(5));

} // namespace vorn::test
