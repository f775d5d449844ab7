#include "PortPath.h"

#include <cctype>
#include <string_view>

namespace vorn::modbus {

std::string portDevicePath(const Registry& registry, const std::string& portName) {
    if (auto mapped = registry.readString(portsRegistryKey, portName); mapped && !mapped->empty())
        return *mapped;

    constexpr std::string_view kPrefix = "COM";
    const std::string_view digits = std::string_view(portName).substr(
        portName.compare(0, kPrefix.size(), kPrefix) == 0 ? kPrefix.size() : portName.size());
    if (digits.empty() || digits.size() > 5)
        return {};
    unsigned number = 0;
    for (char digit : digits) {
        if (!std::isdigit(static_cast<unsigned char>(digit)))
            return {};
        number = number * 10 + static_cast<unsigned>(digit - '0');
    }
    if (number == 0)
        return {};
    return "/dev/ttyS" + std::to_string(number - 1);
}

} // namespace vorn::modbus
