// Rennick: Modbus RTU devices on serial lines served as OPC tags, with a communication log.
#include "apps/ServerMain.h"
#include "modbus/rtu/CommLog.h"
#include "modbus/rtu/RtuTransport.h"

int main(int argc, char** argv) {
    vorn::modbus::CommLog log = vorn::modbus::CommLog::besideProgram();
    vorn::Registry registry;
    return vorn::runServer(
        vorn::ServerKind::rennick, argc, argv,
        [&](const vorn::ServerConfig& config) {
            return std::make_unique<vorn::modbus::RtuTransport>(config.serialPorts, registry, log);
        },
        &log);
}
