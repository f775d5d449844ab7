// Names of the configuration file format that the servers read and Quillmar writes: the two
// server kinds, their root elements and registry keys, the default Modbus TCP port. Header
// only and dependency-free, so that the editor shares these names without linking a server.
#pragma once

#include <cstdint>

namespace vorn::format {

enum class ServerKind { tarnvale, rennick };

// Server kind names as users see them and as the registry keys spell them.
inline constexpr const char* kTarnvaleName = "Tarnvale"; // Modbus TCP/IP
inline constexpr const char* kRennickName = "Rennick";   // Modbus serial RTU

inline constexpr const char* kTarnvaleRoot = "VornModBusTcpIpCfg";
inline constexpr const char* kRennickRoot = "VornModBusRTUCfg";

inline constexpr const char* kTarnvaleRegistryKey = "SOFTWARE\\VornAutomation\\Tarnvale";
inline constexpr const char* kRennickRegistryKey = "SOFTWARE\\VornAutomation\\Rennick";
// Registry value under the server's key holding the configuration file's path.
inline constexpr const char* kConfigFileValue = "ConfigFile";

// The TCP port of Modbus devices; a device on another port carries a "port" attribute.
inline constexpr uint16_t kDefaultModbusTcpPort = 502;

constexpr const char* nameOf(ServerKind kind) {
    return kind == ServerKind::tarnvale ? kTarnvaleName : kRennickName;
}
constexpr const char* rootElementOf(ServerKind kind) {
    return kind == ServerKind::tarnvale ? kTarnvaleRoot : kRennickRoot;
}
constexpr const char* registryKeyOf(ServerKind kind) {
    return kind == ServerKind::tarnvale ? kTarnvaleRegistryKey : kRennickRegistryKey;
}

} // namespace vorn::format
