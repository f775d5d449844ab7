// The two server kinds a configuration is made for, and their file roots.
#pragma once

namespace vorn::editor {

inline constexpr const char* kTarnvale = "Tarnvale"; // Modbus TCP/IP
inline constexpr const char* kRennick = "Rennick";   // Modbus serial RTU

inline constexpr const char* kTarnvaleRoot = "VornModBusTcpIpCfg";
inline constexpr const char* kRennickRoot = "VornModBusRTUCfg";

// The TCP port of Modbus devices; a device on another port carries a "port" attribute.
inline constexpr int kDefaultModbusPort = 502;

} // namespace vorn::editor
