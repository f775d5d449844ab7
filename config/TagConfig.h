// The configured values of one tag, handed to the tag object that keeps them.
#pragma once

#include "config/PlcDevice.h"
#include "platform/Variant.h"

#include <cstdint>
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
};

} // namespace vorn
