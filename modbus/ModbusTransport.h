// What the polling engine needs of a transport: a table of devices, one current device at a
// time, and the three Modbus transactions on it. Every call returns an error code of
// ErrorCodes.h (0 = success). Only the communication thread calls a transport.
#pragma once

#include "modbus/SerialPortSettings.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vorn::modbus {

struct DeviceEntry {
    std::string address;    // TCP: dotted IPv4
    uint16_t tcpPort = 502; // TCP
    std::string portName;   // RTU: "COM1"
    uint8_t unitId = 1;
    uint32_t timeoutMs = 1000;
    uint32_t silentMs = 0;       // RTU: quiet time before every request
    uint32_t connectPauseMs = 0; // TCP: pause after the connection opens
    uint32_t requestPauseMs = 0; // TCP: least time from one reply to the next request
    std::string backupAddress;   // TCP: second address, empty for none
    uint16_t backupPort = 502;
    uint32_t backupAfter = 3; // TCP: failed connects in a row before the other address
};

class ModbusTransport {
public:
    virtual ~ModbusTransport() = default;

    // Takes the device table (device index i + 1 is devices[i]); no device is current after.
    [[nodiscard]] virtual int start(std::vector<DeviceEntry> devices) = 0;
    // Makes the device current, opening its connection or port when needed. The device is
    // current even when that fails: its transfers then fail, and never reach another device.
    [[nodiscard]] virtual int selectDevice(uint16_t index) = 0;
    // Closes what the device holds open (a TCP connection); serial lines keep their port.
    [[nodiscard]] virtual int releaseDevice(uint16_t index) = 0;

    // Reads `count` units of `kind` from `start`; on success the data bytes of the reply
    // (unitBytes(kind, count) of them) are in `destination`, which must be at least that big.
    [[nodiscard]] virtual int readRegisters(uint8_t functionCode, uint8_t kind, uint16_t count,
                                            uint16_t start, std::span<uint8_t> destination) = 0;
    // Writes `count` units from `start`; `data` holds unitBytes(kind, count) bytes.
    [[nodiscard]] virtual int writeMultiple(uint8_t functionCode, uint8_t kind, uint16_t count,
                                            uint16_t start, std::span<const uint8_t> data) = 0;
    // Writes one unit with the two value bytes as given (a coil: FF 00 or 00 00).
    [[nodiscard]] virtual int writeSingle(uint8_t functionCode, uint8_t kind, uint16_t address,
                                          uint8_t high, uint8_t low) = 0;

    // The address and port the device's connection uses ("10.0.0.5:502"); empty for a
    // transport without addresses.
    virtual std::string activeEndpoint(uint16_t /*index*/) const { return {}; }

    // A reload's device table: device i + 1 of `devices` keeps what device `previous[i]` of
    // the old table holds open (0: a new device, connected when first selected); connections
    // of devices not kept close. Serial transports take every line's settings from `lines`, and
    // a port named in `changedLines` closes, to open with its new settings when next selected.
    // No device is current after. By default everything closes and starts anew.
    virtual void reconfigure(std::vector<DeviceEntry> devices,
                             const std::vector<uint16_t>& previous, const SerialPortList& lines,
                             const std::vector<std::string>& changedLines) {
        (void)previous;
        (void)lines;
        (void)changedLines;
        closeAll();
        (void)start(std::move(devices));
    }
    // Closes every connection or port and drops the device table; no device is current.
    virtual void closeAll() = 0;
    // The server is stopping: ends every wait of the transport at once (connect, send, receive,
    // pauses), and later transfers end without waiting. The one call safe from any thread.
    virtual void stop() = 0;
};

} // namespace vorn::modbus
