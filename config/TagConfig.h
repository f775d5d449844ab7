// The configured values of one tag, handed to the tag object that keeps them.
#pragma once

#include "config/PlcDevice.h"
#include "modbus/ByteOrder.h"
#include "modbus/Scaling.h"
#include "platform/Variant.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vorn {

struct TagConfig {
    std::string name;
    std::string description;
    uint16_t address = 0;
    uint16_t bitNumber = 0;
    uint8_t kind = 5; // holding register
    VARTYPE nativeType = VT_EMPTY;
    uint16_t elements = 0;
    uint32_t accessRights = 0;
    SOCmnPointer<PlcDevice> device;
    modbus::ByteOrder byteOrder = modbus::ByteOrder::abcd; // the tag's own, else its device's
    std::optional<modbus::Scaling> scaling;                // served as VT_R8 when set
    std::string units;                                     // with scaling only

    // Every field, the device by identity: a reload first hands a tag of an unchanged device
    // the running device object, so that only a tag whose own definition changed, or whose
    // device changed, compares unequal.
    bool operator==(const TagConfig&) const = default;
};

} // namespace vorn
