#include "SimProcess.h"

#include <sstream>
#include <stdexcept>

namespace vorn::test {

SimProcess::SimProcess(const std::string& simulatorPath, const std::vector<std::string>& arguments,
                       std::chrono::milliseconds readyTimeout)
    : process_(simulatorPath, arguments) {
    const std::string prefix = "listening ";
    std::optional<std::string> line = process_.readLine(readyTimeout);
    if (!line || line->rfind(prefix, 0) != 0) {
        process_.waitForExit(std::chrono::milliseconds(200));
        throw std::runtime_error("modbus-sim did not report ready (got '" + line.value_or("") +
                                 "'): " + process_.errorOutput());
    }
    where_ = line->substr(prefix.size());
}

std::string SimProcess::host() const {
    return where_.substr(0, where_.rfind(':'));
}

int SimProcess::port() const {
    return ports().front();
}

std::vector<int> SimProcess::ports() const {
    auto colon = where_.rfind(':');
    if (colon == std::string::npos)
        throw std::logic_error("the simulator serves no TCP port: " + where_);
    std::vector<int> ports;
    std::istringstream list(where_.substr(colon + 1));
    for (std::string port; std::getline(list, port, ',');)
        ports.push_back(std::stoi(port));
    return ports;
}

SimExit runSimulatorToExit(const std::string& simulatorPath,
                           const std::vector<std::string>& arguments,
                           std::chrono::milliseconds timeout) {
    ChildProcess process(simulatorPath, arguments);
    SimExit result;
    result.exitCode = process.waitForExit(timeout);
    result.errorOutput = process.errorOutput();
    return result;
}

} // namespace vorn::test
