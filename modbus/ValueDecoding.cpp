#include "ValueDecoding.h"

#include "ByteOrder.h"
#include "RegisterKind.h"

#include <algorithm>
#include <array>
#include <bit>
#include <vector>

namespace vorn::modbus {
namespace {

constexpr uint16_t kBitsPerRegister = 16;

Variant scalarFromRegisters(VARTYPE type, std::span<const uint8_t> bytes, size_t offset) {
    switch (type) {
    case VT_I2:
        return Variant::i2(static_cast<int16_t>(wordAt(bytes, offset)));
    case VT_UI2:
        return Variant::ui2(wordAt(bytes, offset));
    case VT_I4:
        return Variant::i4(static_cast<int32_t>(doubleWordAt(bytes, offset)));
    case VT_UI4:
        return Variant::ui4(doubleWordAt(bytes, offset));
    case VT_R4:
        return Variant::r4(std::bit_cast<float>(doubleWordAt(bytes, offset)));
    case VT_I8:
        return Variant::i8(static_cast<int64_t>(quadWordAt(bytes, offset)));
    case VT_UI8:
        return Variant::ui8(quadWordAt(bytes, offset));
    case VT_R8:
        return Variant::r8(std::bit_cast<double>(quadWordAt(bytes, offset)));
    case VT_I1:
        return Variant::i1(static_cast<int8_t>(bytes[offset]));
    default: // VT_UI1
        return Variant::ui1(bytes[offset]);
    }
}

// The register word masked to one bit: the bit's weight when set, 0 when clear.
Variant maskedRegisterBit(std::span<const uint8_t> bytes, size_t p) {
    const uint16_t word = wordAt(bytes, 2 * (p / kBitsPerRegister));
    return Variant::boolWord(static_cast<int16_t>(word & (1u << (p % kBitsPerRegister))));
}

// The tag's registers in Modbus order. Most tags of a device in another order hold one value
// of at most 8 bytes, so those are reordered on the stack.
class ModbusOrderCopy {
public:
    ModbusOrderCopy(const TagShape& tag, std::span<const uint8_t> registers) {
        const size_t tagBytes = 2 * unitCount(tag);
        const size_t bytes = std::min(registers.size(), tagBytes);
        std::span<uint8_t> copy;
        if (bytes <= small_.size()) {
            copy = std::span<uint8_t>(small_.data(), bytes);
        } else {
            large_.resize(bytes);
            copy = large_;
        }
        std::copy_n(registers.begin(), bytes, copy.begin());
        reorderValues(tag.order, copy, orderedWidth(tag.nativeType));
        bytes_ = copy;
    }
    ModbusOrderCopy(const ModbusOrderCopy&) = delete; // bytes_ points into the object
    ModbusOrderCopy& operator=(const ModbusOrderCopy&) = delete;
    std::span<const uint8_t> bytes() const { return bytes_; }

private:
    std::array<uint8_t, 8> small_{};
    std::vector<uint8_t> large_;
    std::span<const uint8_t> bytes_;
};

// The raw value of a register tag from its registers in Modbus order.
std::optional<Variant> rawRegisterValue(const TagShape& tag, std::span<const uint8_t> registers) {
    const VARTYPE type = tag.nativeType;
    const size_t n = tag.elements;
    if (type == VT_BSTR) {
        if (registers.size() < n)
            return std::nullopt;
        std::u16string text(registers.begin(), registers.begin() + static_cast<ptrdiff_t>(n));
        return Variant::bstr(std::move(text));
    }
    if (type == VT_BOOL) {
        if (registers.size() < 2 || tag.bitNumber >= kBitsPerRegister)
            return std::nullopt;
        return maskedRegisterBit(registers, tag.bitNumber);
    }
    if (type == (VT_ARRAY | VT_BOOL)) {
        const size_t lastBit = size_t{tag.bitNumber} + n;
        if (registers.size() < 2 * ((lastBit + kBitsPerRegister - 1) / kBitsPerRegister))
            return std::nullopt;
        Variant value = Variant::array(VT_BOOL, n);
        for (size_t i = 0; i < n; ++i)
            value.at(i) = maskedRegisterBit(registers, tag.bitNumber + i);
        return value;
    }
    const VARTYPE element = type & ~VT_ARRAY;
    const size_t width = elementBytes(element);
    if (width == 0 || (width == 1 && !(type & VT_ARRAY)))
        return std::nullopt; // no register form for this type
    if (!(type & VT_ARRAY)) {
        if (registers.size() < width)
            return std::nullopt;
        return scalarFromRegisters(type, registers, 0);
    }
    if (registers.size() < width * n)
        return std::nullopt;
    Variant value = Variant::array(element, n);
    for (size_t i = 0; i < n; ++i)
        value.at(i) = scalarFromRegisters(element, registers, width * i);
    return value;
}

} // namespace

std::optional<Variant> registersToValue(const TagShape& tag, std::span<const uint8_t> registers) {
    std::optional<Variant> raw;
    if (tag.order == ByteOrder::abcd || orderedWidth(tag.nativeType) == 0)
        raw = rawRegisterValue(tag, registers);
    else
        raw = rawRegisterValue(tag, ModbusOrderCopy(tag, registers).bytes());
    if (!raw || !tag.scaling)
        return raw;
    return engineeringValue(*tag.scaling, *raw);
}

std::optional<Variant> bitsToValue(const TagShape& tag, std::span<const uint8_t> bits,
                                   uint32_t bitOffset) {
    if (!(tag.nativeType & VT_ARRAY)) {
        const size_t byte = bitOffset / 8;
        if (bits.size() <= byte)
            return std::nullopt;
        const auto masked = static_cast<uint8_t>(bits[byte] & (1u << (bitOffset % 8)));
        return Variant::boolWord(masked);
    }
    const size_t n = tag.elements;
    if (bits.size() < (size_t{bitOffset} + n + 7) / 8)
        return std::nullopt;
    Variant value = Variant::array(VT_BOOL, n);
    for (size_t i = 0; i < n; ++i)
        value.at(i) = Variant::boolWord(packedBit(bits, bitOffset + i) ? 1 : 0);
    return value;
}

std::optional<Variant> decodeTagValue(const TagShape& tag, std::span<const uint8_t> blockData,
                                      uint16_t blockStart) {
    if (tag.address < blockStart || !isKnownKind(tag.kind))
        return std::nullopt;
    const uint32_t offset = tag.address - blockStart;
    if (isBitKind(tag.kind))
        return bitsToValue(tag, blockData, offset);
    if (blockData.size() < 2 * size_t{offset})
        return std::nullopt;
    return registersToValue(tag, blockData.subspan(2 * size_t{offset}));
}

} // namespace vorn::modbus
