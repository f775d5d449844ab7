// Rennick: Modbus RTU devices on serial lines served as OPC tags, with a communication log.
#include "apps/ServerMain.h"
#include "fileformat/ConfigFormat.h"
#include "modbus/rtu/CommLog.h"
#include "modbus/rtu/CommLogSettings.h"
#include "modbus/rtu/RtuTransport.h"

int main(int argc, char** argv) {
    vorn::Registry registry;
    // The registry switches the log on and names its folder, so that it works headless and as
    // a service (whose program folder is read-only) as well as from the window's menu.
    const vorn::modbus::CommLogSettings logSettings =
        vorn::modbus::readCommLogSettings(registry, vorn::format::kRennickRegistryKey);
    vorn::modbus::CommLog log(logSettings.folder);
    log.setEnabled(logSettings.enabled);
    return vorn::runServer(
        vorn::ServerKind::rennick, argc, argv,
        [&](const vorn::ServerConfig& config) {
            return std::make_unique<vorn::modbus::RtuTransport>(config.serialPorts, registry, log);
        },
        &log);
}
