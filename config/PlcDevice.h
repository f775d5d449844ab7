// One configured Modbus device. The device list owns the devices; each tag holds a reference
// on its device. Configuration fields are read-only once the loader has filled them.
#pragma once

#include "fileformat/ConfigFormat.h"
#include "modbus/ByteOrder.h"
#include "toolkit/SOCmnList.h"
#include "toolkit/SOCmnObject.h"

#include <cstdint>
#include <string>

namespace vorn {

class PlcDevice : public SOCmnObject {
public:
    static constexpr size_t kMaxAddressLength = format::kMaxAddressLength;   // dotted IPv4
    static constexpr size_t kMaxPortNameLength = format::kMaxPortNameLength; // "COM999999"
    static constexpr uint16_t kDefaultTcpPort = format::kDefaultModbusTcpPort;
    static constexpr uint32_t kDefaultUnitId = format::kDefaultUnitId;
    static constexpr uint32_t kDefaultTimeoutMs = format::kDefaultTimeoutMs;

    std::string name;
    std::string address; // Modbus TCP devices
    uint16_t tcpPort = kDefaultTcpPort;
    std::string portName;             // Modbus RTU devices
    uint32_t unitId = kDefaultUnitId; // 8 bits used
    uint32_t timeoutMs = kDefaultTimeoutMs;
    uint32_t silentMs = 0; // Modbus RTU devices
    // The order of the device's multi-byte values; each tag may name its own.
    modbus::ByteOrder byteOrder = modbus::ByteOrder::abcd;
};

using DeviceList = SOCmnListHeader<SOCmnPointer<PlcDevice>>;

} // namespace vorn
