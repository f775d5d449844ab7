// Names of the configuration file format that the servers read and Quillmar writes: the two
// server kinds, their root elements and registry keys, the default Modbus TCP port. Header
// only and dependency-free, so that the editor shares these names without linking a server.
#pragma once

#include <cstddef>
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

// The longest address (a dotted IPv4) and serial port name ("COM999999") a server opens.
inline constexpr size_t kMaxAddressLength = 15;
inline constexpr size_t kMaxPortNameLength = 9;

// Branch levels below a device that the servers load; deeper content is skipped.
inline constexpr int kMaxBranchDepth = 64;

// The device settings the servers take when a file leaves them out, so that the editor opens
// and writes such a device with the values it is served with.
inline constexpr uint8_t kDefaultUnitId = 1;
inline constexpr uint32_t kDefaultTimeoutMs = 1000;
inline constexpr uint32_t kDefaultBaudRate = 9600;
inline constexpr uint8_t kDefaultStopBits = 1;
inline constexpr uint8_t kDefaultDataBits = 8;
inline constexpr uint32_t kDefaultSilentMs = 10;
// A serial line without parity or flow control settings has none of either.
inline constexpr const char* kDefaultParity = "NO";
inline constexpr const char* kDefaultFlowControl = "NONE";

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
