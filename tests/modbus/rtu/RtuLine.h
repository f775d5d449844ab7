// A serial line for transport tests: a socat pseudo-terminal pair whose end A is mapped as COM1
// in a scratch registry file, a communication log in the scratch folder, and the device side
// (end B) played by the test.
#pragma once

#include "FarEnd.h"
#include "PtyPair.h"
#include "ScratchDir.h"
#include "modbus/rtu/PortPath.h"
#include "modbus/rtu/RtuTransport.h"

#include <memory>

namespace vorn::test {

inline modbus::SerialPortSettings portSettings(const std::string& name, uint32_t baud = 9600,
                                               uint8_t stopBits = 1) {
    return {name, baud, "NO", stopBits, 8, "NONE"};
}

inline modbus::DeviceEntry rtuDevice(uint8_t unit, uint32_t timeoutMs, uint32_t silentMs = 0,
                                     const std::string& port = "COM1") {
    modbus::DeviceEntry device;
    device.portName = port;
    device.unitId = unit;
    device.timeoutMs = timeoutMs;
    device.silentMs = silentMs;
    return device;
}

struct RtuLine {
    explicit RtuLine(modbus::SerialPortSettings com1 = portSettings("COM1")) {
        registry.writeString(modbus::portsRegistryKey, "COM1", pty.endA());
        ports.addIfAbsent(com1);
    }
    // The transport over the ports configured so far, with the devices given.
    modbus::RtuTransport& transport(std::vector<modbus::DeviceEntry> devices) {
        rtu = std::make_unique<modbus::RtuTransport>(ports, registry, log);
        rtu->start(std::move(devices));
        return *rtu;
    }

    ScratchDir scratch;
    PtyPair pty{scratch.path()};
    Registry registry{scratch.file("registry.ini")};
    modbus::SerialPortList ports;
    modbus::CommLog log{scratch.path()};
    FarEnd device{pty.endB()};
    std::unique_ptr<modbus::RtuTransport> rtu;
};

} // namespace vorn::test
