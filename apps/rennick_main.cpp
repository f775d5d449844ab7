// Rennick: Modbus RTU devices on serial lines served as OPC tags, with a communication log.
#include "apps/ServerMain.h"
#include "modbus/rtu/CommLog.h"
#include "modbus/rtu/RtuTransport.h"

#include <cstdlib>

int main(int argc, char** argv) {
    // Run as a service the program's folder is read-only: the log goes to the folder the
    // service manager made for it (LOGS_DIRECTORY), else beside the program as always.
    const char* logsDirectory = std::getenv("LOGS_DIRECTORY");
    vorn::modbus::CommLog log = logsDirectory && *logsDirectory
                                    ? vorn::modbus::CommLog(std::string(logsDirectory) + "/")
                                    : vorn::modbus::CommLog::besideProgram();
    vorn::Registry registry;
    return vorn::runServer(
        vorn::ServerKind::rennick, argc, argv,
        [&](const vorn::ServerConfig& config) {
            return std::make_unique<vorn::modbus::RtuTransport>(config.serialPorts, registry, log);
        },
        &log);
}
