// What the engine needs to know of a tag to place it in blocks and convert its value.
#pragma once

#include "ByteOrder.h"
#include "Scaling.h"
#include "platform/Variant.h"

#include <cstddef>
#include <cstdint>

namespace vorn::modbus {

struct TagShape {
    // The type in the device's registers (VT_ARRAY | element type for arrays); a scaled tag
    // serves it to clients as VT_R8 (servedType).
    VARTYPE nativeType = VT_EMPTY;
    uint16_t elements = 0;  // characters of a string, elements of an array
    uint16_t bitNumber = 0; // bit of a VT_BOOL register tag, first bit of a bool array
    uint16_t address = 0;   // first register or bit
    uint8_t kind = 0;       // RegisterKind code
    ByteOrder order = ByteOrder::abcd;
    const Scaling* scaling = nullptr; // the tag's own, when it is scaled
};

// The type clients see: VT_R8 (or an array of it) for a scaled tag, else the register type.
VARTYPE servedType(const TagShape& tag);

// Bytes one value of the type takes for the device's byte order: 4 or 8 for 32- and 64-bit
// values, 2 for 16-bit values, strings and byte arrays (only the bytes of a register swap),
// 0 for bits and types without registers (the order does not apply).
size_t orderedWidth(VARTYPE type);

// Bytes one array element of `elementType` takes in registers (1, 2 or 4); 0 for other types.
size_t elementBytes(VARTYPE elementType);

// Registers or bits the tag occupies; 0 for a type that is never transferred.
size_t unitCount(const TagShape& tag);

// Registers or bits `tag` occupies when it carries a value of `length` elements or characters.
size_t unitCountForLength(const TagShape& tag, size_t length);

} // namespace vorn::modbus
