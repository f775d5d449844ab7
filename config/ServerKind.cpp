#include "ServerKind.h"

namespace vorn {

const ServerProfile& profileOf(ServerKind kind) {
    static const ServerProfile tarnvale{ServerKind::tarnvale, "VornModBusTcpIpCfg",
                                        "SOFTWARE\\VornAutomation\\Tarnvale",
                                        "ModBus Tcp/Ip OPC Server"};
    static const ServerProfile rennick{ServerKind::rennick, "VornModBusRTUCfg",
                                       "SOFTWARE\\VornAutomation\\Rennick",
                                       "ModBus RTU OPC Server"};
    return kind == ServerKind::tarnvale ? tarnvale : rennick;
}

} // namespace vorn
