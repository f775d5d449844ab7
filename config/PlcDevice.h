// One configured Modbus device. The device list owns the devices; each tag holds a reference
// on its device. Configuration fields are read-only once the loader has filled them.
// The fields are one comparable struct, so that a reload tells a changed device from an
// unchanged one by every setting, those added later included.
#pragma once

#include "fileformat/ConfigFormat.h"
#include "modbus/ByteOrder.h"
#include "modbus/ReadLimits.h"
#include "toolkit/SOCmnList.h"
#include "toolkit/SOCmnObject.h"

#include <cstdint>
#include <string>

namespace vorn {

struct DeviceConfig {
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
    // How much one read may take and which holes it reads along.
    modbus::ReadLimits readLimits;
    // After this many failed transfers in a row the device is tried only every
    // reducedIntervalS seconds until it answers; 0: never.
    uint32_t reducedAfter = 0;
    uint32_t reducedIntervalS = 10;
    // Modbus TCP devices: pauses after the connection opens and between two requests.
    uint32_t connectPauseMs = 0;
    uint32_t requestPauseMs = 0;
    // Modbus TCP devices: a second address, tried after backupAfter failed connects to the
    // one in use; empty for none.
    std::string backupAddress;
    uint32_t backupPort = kDefaultTcpPort;
    uint32_t backupAfter = 3;

    bool operator==(const DeviceConfig&) const = default;
};

class PlcDevice : public SOCmnObject, public DeviceConfig {};

using DeviceList = SOCmnListHeader<SOCmnPointer<PlcDevice>>;

} // namespace vorn
