// modbus-sim: a Modbus TCP / RTU device simulator for tests and the demo (see README.md).
#include "CommandLine.h"
#include "DeviceImage.h"
#include "Generators.h"
#include "ReadyReport.h"
#include "RequestLog.h"
#include "RtuServer.h"
#include "ShutdownSignal.h"
#include "TcpServer.h"
#include "ValuesFile.h"

#include <cstdio>
#include <exception>

namespace {

constexpr int kExitRuntimeError = 1;
constexpr int kExitBadInput = 2;

template <typename Server>
void serve(Server& server, const modbus_sim::SimOptions& options, modbus_sim::DeviceImage& image,
           const modbus_sim::ShutdownSignal& shutdown) {
    modbus_sim::Generators generators(options.generators, modbus_sim::Clock::now());
    generators.update(image, modbus_sim::Clock::now());
    modbus_sim::reportReady(server.where(), options.readyFile);
    server.run(generators, shutdown);
}

} // namespace

int main(int argc, char** argv) {
    using namespace modbus_sim;
    // First of all, so that a signal sent as soon as the simulator reports ready ends it cleanly.
    ShutdownSignal shutdown;

    SimOptions options;
    std::unique_ptr<DeviceImage> image;
    try {
        options = parseCommandLine(argc, argv);
        if (options.help) {
            std::fputs(usageText(), stdout);
            return 0;
        }
        if (options.version) {
            std::printf("modbus-sim %s\n", VORN_VERSION);
            return 0;
        }
        image = std::make_unique<DeviceImage>(options.units);
        for (const std::string& path : options.valuesFiles)
            readValuesFile(path, [&](const Assignment& assignment) { image->apply(assignment); });
        for (const Assignment& assignment : options.assignments)
            image->apply(assignment);
    } catch (const SyntaxError& error) {
        std::fprintf(stderr, "modbus-sim: %s\n", error.what());
        return kExitBadInput;
    }

    try {
        RequestLog log = options.logPath.empty() ? RequestLog() : RequestLog(options.logPath);
        if (options.tcp) {
            TcpServer server(*options.tcp, *image, options.faults, log);
            serve(server, options, *image, shutdown);
        } else {
            RtuServer server(*options.rtu, *image, options.faults, log);
            serve(server, options, *image, shutdown);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "modbus-sim: %s\n", error.what());
        return kExitRuntimeError;
    }
    return 0;
}
