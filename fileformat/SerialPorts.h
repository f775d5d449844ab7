// Rennick's serial ports keep their Windows names ("COM1") in files and dialogs; the registry
// value "COMn" under the ports key names the device a port stands for (COM1=/dev/ttyUSB0),
// else it is /dev/ttyS<n-1>. Shared by the server (which opens the device), its configuration
// check (which shows the mapping) and Quillmar (which lets the user choose the device).
#pragma once

#include "platform/Registry.h"

#include <string>
#include <string_view>

namespace vorn::format {

inline constexpr const char* kRennickPortsRegistryKey = "SOFTWARE\\VornAutomation\\Rennick\\Ports";

// The device of a port the registry does not map: /dev/ttyS<n-1> for "COMn" with n from 1;
// empty for any other name.
inline std::string defaultSerialDevice(std::string_view portName) {
    constexpr std::string_view kPrefix = "COM";
    if (portName.substr(0, kPrefix.size()) != kPrefix)
        return {};
    const std::string_view digits = portName.substr(kPrefix.size());
    if (digits.empty() || digits.size() > 5)
        return {};
    unsigned number = 0;
    for (char digit : digits) {
        if (digit < '0' || digit > '9')
            return {};
        number = number * 10 + static_cast<unsigned>(digit - '0');
    }
    if (number == 0)
        return {};
    return "/dev/ttyS" + std::to_string(number - 1);
}

struct SerialDevice {
    std::string path;    // empty when the name is neither mapped nor "COMn"
    bool mapped = false; // named by the registry, not the default
};

inline SerialDevice serialDeviceOf(const Registry& registry, const std::string& portName) {
    if (auto mapped = registry.readString(kRennickPortsRegistryKey, portName);
        mapped && !mapped->empty())
        return {*mapped, true};
    return {defaultSerialDevice(portName), false};
}

} // namespace vorn::format
