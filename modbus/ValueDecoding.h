// Device bytes (registers in the tag's byte order, bits least significant first) to the value
// of a tag, scaled to engineering units when the tag is scaled. Every function reads only
// inside the span it is given; too few bytes or a shape that cannot be decoded give no value
// (std::nullopt), so nothing is stored.
#pragma once

#include "TagShape.h"
#include "platform/Variant.h"

#include <cstdint>
#include <optional>
#include <span>

namespace vorn::modbus {

// The tag's own registers, from its first register on, as a value of its served type.
std::optional<Variant> registersToValue(const TagShape& tag, std::span<const uint8_t> registers);

// A bit-table tag whose first bit is bit `bitOffset` of `bits` (bit 0 = least significant bit
// of byte 0). A single bit gives its masked byte as the VT_BOOL word; array elements are 0 or 1.
std::optional<Variant> bitsToValue(const TagShape& tag, std::span<const uint8_t> bits,
                                   uint32_t bitOffset);

// The tag's value out of the data of a block that starts at `blockStart` (same kind as the tag).
std::optional<Variant> decodeTagValue(const TagShape& tag, std::span<const uint8_t> blockData,
                                      uint16_t blockStart);

} // namespace vorn::modbus
