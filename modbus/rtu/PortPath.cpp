#include "PortPath.h"

#include "fileformat/SerialPorts.h"

namespace vorn::modbus {

std::string portDevicePath(const Registry& registry, const std::string& portName) {
    return format::serialDeviceOf(registry, portName).path;
}

} // namespace vorn::modbus
