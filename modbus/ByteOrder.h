// Big-endian (Modbus order) access to 16-bit words, and single bits, of checked byte spans.
// Callers check the span's size first; these helpers only do the arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vorn::modbus {

inline uint16_t wordAt(std::span<const uint8_t> bytes, size_t offset) {
    return static_cast<uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

inline void putWord(std::span<uint8_t> bytes, size_t offset, uint16_t word) {
    bytes[offset] = static_cast<uint8_t>(word >> 8);
    bytes[offset + 1] = static_cast<uint8_t>(word & 0xFF);
}

inline uint32_t doubleWordAt(std::span<const uint8_t> bytes, size_t offset) {
    return static_cast<uint32_t>(wordAt(bytes, offset)) << 16 | wordAt(bytes, offset + 2);
}

inline void putDoubleWord(std::span<uint8_t> bytes, size_t offset, uint32_t value) {
    putWord(bytes, offset, static_cast<uint16_t>(value >> 16));
    putWord(bytes, offset + 2, static_cast<uint16_t>(value & 0xFFFF));
}

// Bits packed eight to a byte, lowest bit number in the least significant bit.
inline bool packedBit(std::span<const uint8_t> bytes, size_t bit) {
    return (bytes[bit / 8] >> (bit % 8) & 1) != 0;
}

inline void setPackedBit(std::span<uint8_t> bytes, size_t bit, bool on) {
    const auto mask = static_cast<uint8_t>(1u << (bit % 8));
    bytes[bit / 8] = static_cast<uint8_t>(on ? bytes[bit / 8] | mask : bytes[bit / 8] & ~mask);
}

// Register bit p of a run of registers: register p / 16, bit p mod 16 of its 16-bit value.
inline size_t registerBitByte(size_t p) {
    return 2 * (p / 16) + (p % 16 < 8 ? 1 : 0);
}
inline uint8_t registerBitMask(size_t p) {
    return static_cast<uint8_t>(1u << (p % 8));
}

} // namespace vorn::modbus
