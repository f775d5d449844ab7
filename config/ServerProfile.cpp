#include "ServerProfile.h"

namespace vorn {

const ServerProfile& profileOf(ServerKind kind) {
    static const ServerProfile tarnvale{ServerKind::tarnvale, format::kTarnvaleRoot,
                                        format::kTarnvaleRegistryKey, "ModBus Tcp/Ip OPC Server"};
    static const ServerProfile rennick{ServerKind::rennick, format::kRennickRoot,
                                       format::kRennickRegistryKey, "ModBus RTU OPC Server"};
    return kind == ServerKind::tarnvale ? tarnvale : rennick;
}

} // namespace vorn
