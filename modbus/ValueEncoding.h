// A client's written value to the bytes of a write, in the tag's byte order; a scaled tag's
// value in engineering units is mapped back to its raw register value first. Writes stay
// inside the destination span; when it is too small nothing is written and the status says so.
#pragma once

#include "TagShape.h"
#include "platform/Variant.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace vorn::modbus {

enum class EncodeStatus {
    ok,
    destinationTooSmall, // the destination cannot hold the value; it is left unchanged
    notConvertible,      // the value cannot become the tag's type (or is longer than 65535)
    unsupportedType,     // the tag's type has no device form; nothing is written
    badShape,            // bit number beyond its register, or tag before the block start
};

// The written value as the tag's register type (arrays element by element; VT_BOOL for bit
// tables; a scaled tag's engineering value mapped back to its raw value, rounded half to
// even): overflow when a value does not fit the register type, typeMismatch when it cannot be
// converted or is longer than 65535.
ChangeResult registerValueFor(const TagShape& tag, const Variant& written, Variant& out);
// The same, or nullopt when it fails.
std::optional<Variant> valueForTag(const TagShape& tag, const Variant& written);

// Elements of an array, characters of a string, 1 for a scalar: the length a write gives a tag.
size_t writtenLength(const Variant& value);

// Units a write of `written` covers (its own length for arrays and strings); 0 if not writable.
size_t writtenUnitCount(const TagShape& tag, const Variant& written);

// Encodes into the tag's own registers. A VT_BOOL or bool array changes only its bits, so the
// destination must hold the registers as read beforehand. A string zeroes the tag's configured
// characters (and the pad byte of an odd-length value) before its characters' low bytes.
EncodeStatus valueToRegisters(const TagShape& tag, const Variant& written,
                              std::span<uint8_t> registers);

// Encodes into bit-table data whose bit 0 is the least significant bit of byte 0, at bit
// `bitOffset`; other bits keep their states read beforehand. With `singleWrite`, a one-unit
// write becomes the single-coil value FF 00 (on) or 00 00 (off) in the first two bytes.
EncodeStatus valueToBits(const TagShape& tag, const Variant& written, std::span<uint8_t> bits,
                         uint32_t bitOffset, bool singleWrite);

// Encodes the tag's value into the data of a write block that starts at `blockStart`.
EncodeStatus encodeTagValue(const TagShape& tag, const Variant& written,
                            std::span<uint8_t> blockData, uint16_t blockStart, bool singleWrite);

} // namespace vorn::modbus
