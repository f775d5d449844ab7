// What the engine needs to know of a tag to place it in blocks and convert its value.
#pragma once

#include "platform/Variant.h"

#include <cstddef>
#include <cstdint>

namespace vorn::modbus {

struct TagShape {
    VARTYPE nativeType = VT_EMPTY; // VT_ARRAY | element type for arrays
    uint16_t elements = 0;         // characters of a string, elements of an array
    uint16_t bitNumber = 0;        // bit of a VT_BOOL register tag, first bit of a bool array
    uint16_t address = 0;          // first register or bit
    uint8_t kind = 0;              // RegisterKind code
};

// Bytes one array element of `elementType` takes in registers (1, 2 or 4); 0 for other types.
size_t elementBytes(VARTYPE elementType);

// Registers or bits the tag occupies; 0 for a type that is never transferred.
size_t unitCount(const TagShape& tag);

// Registers or bits `tag` occupies when it carries a value of `length` elements or characters.
size_t unitCountForLength(const TagShape& tag, size_t length);

} // namespace vorn::modbus
