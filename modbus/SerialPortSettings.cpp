#include "SerialPortSettings.h"

namespace vorn::modbus {

bool SerialPortList::addIfAbsent(const SerialPortSettings& port) {
    if (find(port.name))
        return false;
    ports_.push_back(port);
    return true;
}

const SerialPortSettings* SerialPortList::find(const std::string& name) const {
    for (const SerialPortSettings& port : ports_)
        if (port.name == name)
            return &port;
    return nullptr;
}

} // namespace vorn::modbus
