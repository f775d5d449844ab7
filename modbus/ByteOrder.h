// Big-endian (Modbus order) access to 16-bit words, and single bits, of checked byte spans,
// and the byte orders devices use for values of more than one byte. Callers check the span's
// size first; these helpers only do the arithmetic.
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

inline uint64_t quadWordAt(std::span<const uint8_t> bytes, size_t offset) {
    return static_cast<uint64_t>(doubleWordAt(bytes, offset)) << 32 |
           doubleWordAt(bytes, offset + 4);
}

inline void putQuadWord(std::span<uint8_t> bytes, size_t offset, uint64_t value) {
    putDoubleWord(bytes, offset, static_cast<uint32_t>(value >> 32));
    putDoubleWord(bytes, offset + 4, static_cast<uint32_t>(value & 0xFFFFFFFF));
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

// How a device lays out a value, named as the four bytes of a 32-bit value 0xAABBCCDD appear
// on the wire: ABCD is Modbus order (high word first, high byte first), CDAB low word first,
// BADC the bytes swapped in each register, DCBA both. For 64-bit values the same two choices
// hold (registers most or least significant first, bytes swapped or not); for 16-bit values,
// strings and byte arrays only the byte swap applies. Bits in registers ignore the order.
enum class ByteOrder : uint8_t { abcd, cdab, badc, dcba };

constexpr bool swapsBytes(ByteOrder order) {
    return order == ByteOrder::badc || order == ByteOrder::dcba;
}
constexpr bool swapsWords(ByteOrder order) {
    return order == ByteOrder::cdab || order == ByteOrder::dcba;
}

// Reorders the values of `bytes`, each `width` bytes long (2, 4 or 8), between the device's
// order and Modbus order. Both ways are the same permutation, so one call serves reading and
// writing. A trailing part shorter than `width` is left alone.
void reorderValues(ByteOrder order, std::span<uint8_t> bytes, size_t width);

} // namespace vorn::modbus
