// Where a port named "COMn" lives: the registry value "COMn" under the ports key of the RTU
// server (e.g. COM1=/dev/ttyUSB0), else the n-th standard serial device /dev/ttyS<n-1>.
#pragma once

#include "fileformat/SerialPorts.h"
#include "platform/Registry.h"

#include <string>

namespace vorn::modbus {

inline constexpr const char* portsRegistryKey = format::kRennickPortsRegistryKey;

// The device path of `portName`; empty when the name is neither mapped nor of the form COMn
// with n from 1 on.
std::string portDevicePath(const Registry& registry, const std::string& portName);

} // namespace vorn::modbus
