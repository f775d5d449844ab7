#include "ServerIdentity.h"

namespace vorn {

const ServerIdentity& identityOf(ServerKind kind) {
    static const ServerIdentity tarnvale{ServerKind::tarnvale,
                                         "Tarnvale",
                                         "Vorn ModBus Tcp/Ip OPC DA Server",
                                         "Vorn.ModBusTcpIpOPCServerDA",
                                         "Vorn.ModBusTcpIpOPCServerDA.1.1",
                                         "Vorn ModBus Tcp/Ip OPC DA Server v1.1",
                                         "{5E1B3D70-4C2A-4B8E-9F11-7A0C2D9E6B01}",
                                         "Tarnvale.dat",
                                         4840};
    static const ServerIdentity rennick{ServerKind::rennick,
                                        "Rennick",
                                        "Vorn ModBus Serial-RTU OPC DA Server",
                                        "Vorn.ModBusRTUOPCServerDA",
                                        "Vorn.ModBusRTUOPCServerDA.1.1",
                                        "Vorn ModBus Serial-RTU OPC DA Server v1.1",
                                        "{A3C7E2B4-1F6D-4E09-8B52-3D9F0C71E8A2}",
                                        "Rennick.dat",
                                        4841};
    return kind == ServerKind::tarnvale ? tarnvale : rennick;
}

} // namespace vorn
