// Line settings of one serial port. The first device that names a port sets them; later
// devices on the same port use the port as it is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorn::modbus {

struct SerialPortSettings {
    std::string name; // "COM1"
    uint32_t baudRate = 0;
    std::string parity;      // "NO", "EVEN", "ODD"
    uint8_t stopBits = 0;    // 1 or 2
    uint8_t dataBits = 0;    // 5 to 8
    std::string flowControl; // "NONE", "HARDWARE"

    bool operator==(const SerialPortSettings&) const = default;
};

class SerialPortList {
public:
    // Adds the port unless one of that name (exact comparison) is there; true when added.
    bool addIfAbsent(const SerialPortSettings& port);
    const SerialPortSettings* find(const std::string& name) const;
    const std::vector<SerialPortSettings>& ports() const { return ports_; }

private:
    std::vector<SerialPortSettings> ports_;
};

} // namespace vorn::modbus
