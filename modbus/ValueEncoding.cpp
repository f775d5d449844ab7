#include "ValueEncoding.h"

#include "ByteOrder.h"
#include "ModbusProtocol.h"
#include "RegisterKind.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <vector>

namespace vorn::modbus {
namespace {

constexpr size_t kMaxWrittenLength = std::numeric_limits<uint16_t>::max();
constexpr uint16_t kBitsPerRegister = 16;

bool isArrayType(VARTYPE type) {
    return (type & VT_ARRAY) != 0;
}

bool hasRegisterForm(VARTYPE type) {
    if (type == VT_BSTR || type == VT_BOOL || type == (VT_ARRAY | VT_BOOL))
        return true;
    const size_t width = elementBytes(type & ~VT_ARRAY);
    return isArrayType(type) ? width > 0 : width > 1; // single bytes only come in arrays
}

void putScalar(const Variant& value, std::span<uint8_t> bytes, size_t offset) {
    switch (value.type()) {
    case VT_I1:
    case VT_UI1:
        bytes[offset] = static_cast<uint8_t>(value.asInt64());
        break;
    case VT_I2:
    case VT_UI2:
        putWord(bytes, offset, static_cast<uint16_t>(value.asInt64()));
        break;
    case VT_R4:
        putDoubleWord(bytes, offset, std::bit_cast<uint32_t>(value.asFloat()));
        break;
    case VT_I8:
    case VT_UI8:
        putQuadWord(bytes, offset, value.asUInt64());
        break;
    case VT_R8:
        putQuadWord(bytes, offset, std::bit_cast<uint64_t>(value.asDouble()));
        break;
    default: // VT_I4, VT_UI4
        putDoubleWord(bytes, offset, static_cast<uint32_t>(value.asInt64()));
        break;
    }
}

void setRegisterBit(std::span<uint8_t> registers, size_t p, bool on) {
    const size_t byte = registerBitByte(p);
    const uint8_t mask = registerBitMask(p);
    registers[byte] = static_cast<uint8_t>(on ? registers[byte] | mask : registers[byte] & ~mask);
}

EncodeStatus stringToRegisters(const TagShape& tag, const std::u16string& text,
                               std::span<uint8_t> registers) {
    const size_t padded = text.size() + text.size() % 2;
    if (registers.size() < padded)
        return EncodeStatus::destinationTooSmall;
    const size_t cleared = std::min(registers.size(), std::max<size_t>(tag.elements, padded));
    std::fill_n(registers.begin(), cleared, uint8_t{0});
    for (size_t k = 0; k < text.size(); ++k)
        registers[k] = static_cast<uint8_t>(text[k] & 0xFF);
    return EncodeStatus::ok;
}

// Encodes a value already in the tag's register type, in Modbus order.
EncodeStatus modbusOrderToRegisters(const TagShape& tag, const Variant& value,
                                    std::span<uint8_t> registers) {
    const VARTYPE type = tag.nativeType;
    if (type == VT_BSTR)
        return stringToRegisters(tag, value.asString(), registers);
    if (type == VT_BOOL) {
        if (tag.bitNumber >= kBitsPerRegister)
            return EncodeStatus::badShape;
        if (registers.size() < 2)
            return EncodeStatus::destinationTooSmall;
        setRegisterBit(registers, tag.bitNumber, value.asBool());
        return EncodeStatus::ok;
    }
    if (type == (VT_ARRAY | VT_BOOL)) {
        const size_t n = value.size();
        if (registers.size() < 2 * unitCountForLength(tag, n))
            return EncodeStatus::destinationTooSmall;
        for (size_t i = 0; i < n; ++i)
            setRegisterBit(registers, tag.bitNumber + i, value.at(i).asBool());
        return EncodeStatus::ok;
    }
    const size_t width = elementBytes(type & ~VT_ARRAY);
    if (!isArrayType(type)) {
        if (registers.size() < width)
            return EncodeStatus::destinationTooSmall;
        putScalar(value, registers, 0);
        return EncodeStatus::ok;
    }
    if (registers.size() < width * value.size())
        return EncodeStatus::destinationTooSmall;
    for (size_t i = 0; i < value.size(); ++i)
        putScalar(value.at(i), registers, width * i);
    return EncodeStatus::ok;
}

} // namespace

ChangeResult registerValueFor(const TagShape& tag, const Variant& written, Variant& out) {
    // Bits are switched by truth value whatever type the configuration gave the tag.
    const VARTYPE bitType = (tag.nativeType & VT_ARRAY) ? VT_ARRAY | VT_BOOL : VT_BOOL;
    const bool bits = isBitKind(tag.kind);
    const auto target = bits ? static_cast<VARTYPE>(bitType) : tag.nativeType;
    ChangeResult result = ChangeResult::ok;
    Variant value;
    if (tag.scaling && !bits)
        result = rawValue(*tag.scaling, written, target, value);
    else
        value = written.converted(target, result);
    if (result != ChangeResult::ok)
        return result;
    if (writtenLength(value) > kMaxWrittenLength)
        return ChangeResult::typeMismatch;
    out = std::move(value);
    return ChangeResult::ok;
}

std::optional<Variant> valueForTag(const TagShape& tag, const Variant& written) {
    Variant value;
    if (registerValueFor(tag, written, value) != ChangeResult::ok)
        return std::nullopt;
    return value;
}

size_t writtenLength(const Variant& value) {
    if (value.isArray())
        return value.size();
    if (value.type() == VT_BSTR)
        return value.asString().size();
    return 1;
}

size_t writtenUnitCount(const TagShape& tag, const Variant& written) {
    const std::optional<Variant> value = valueForTag(tag, written);
    if (!value)
        return 0;
    return unitCountForLength(tag, writtenLength(*value));
}

EncodeStatus valueToRegisters(const TagShape& tag, const Variant& written,
                              std::span<uint8_t> registers) {
    if (!hasRegisterForm(tag.nativeType))
        return EncodeStatus::unsupportedType;
    const std::optional<Variant> value = valueForTag(tag, written);
    if (!value)
        return EncodeStatus::notConvertible;
    const size_t width = orderedWidth(tag.nativeType);
    if (tag.order == ByteOrder::abcd || width == 0)
        return modbusOrderToRegisters(tag, *value, registers);
    // Encoded in Modbus order into a copy of the registers it covers (read beforehand where
    // needed), then put into the device's order.
    const size_t units = std::max(unitCount(tag), unitCountForLength(tag, writtenLength(*value)));
    std::vector<uint8_t> copy(registers.begin(),
                              registers.begin() +
                                  static_cast<ptrdiff_t>(std::min(registers.size(), 2 * units)));
    reorderValues(tag.order, copy, width);
    const EncodeStatus status = modbusOrderToRegisters(tag, *value, copy);
    if (status != EncodeStatus::ok)
        return status;
    reorderValues(tag.order, copy, width);
    std::copy(copy.begin(), copy.end(), registers.begin());
    return EncodeStatus::ok;
}

EncodeStatus valueToBits(const TagShape& tag, const Variant& written, std::span<uint8_t> bits,
                         uint32_t bitOffset, bool singleWrite) {
    const std::optional<Variant> value = valueForTag(tag, written);
    if (!value)
        return EncodeStatus::notConvertible;
    const bool isArray = value->isArray();
    const size_t n = isArray ? value->size() : 1;
    // A single-coil request carries FF 00 or 00 00, never a packed bit.
    if (singleWrite && n == 1) {
        if (bits.size() < 2)
            return EncodeStatus::destinationTooSmall;
        const bool on = isArray ? value->at(0).asBool() : value->asBool();
        bits[0] = on ? kCoilOnHigh : kCoilOffHigh;
        bits[1] = 0x00;
        return EncodeStatus::ok;
    }
    if (bits.size() < (size_t{bitOffset} + n + 7) / 8)
        return EncodeStatus::destinationTooSmall;
    if (!isArray) {
        setPackedBit(bits, bitOffset, value->asBool());
        return EncodeStatus::ok;
    }
    for (size_t i = 0; i < n; ++i)
        setPackedBit(bits, bitOffset + i, value->at(i).asBool());
    return EncodeStatus::ok;
}

EncodeStatus encodeTagValue(const TagShape& tag, const Variant& written,
                            std::span<uint8_t> blockData, uint16_t blockStart, bool singleWrite) {
    if (tag.address < blockStart || !isKnownKind(tag.kind))
        return EncodeStatus::badShape;
    const uint32_t offset = tag.address - blockStart;
    if (isBitKind(tag.kind))
        return valueToBits(tag, written, blockData, offset, singleWrite);
    if (blockData.size() < 2 * size_t{offset})
        return EncodeStatus::destinationTooSmall;
    return valueToRegisters(tag, written, blockData.subspan(2 * size_t{offset}));
}

} // namespace vorn::modbus
