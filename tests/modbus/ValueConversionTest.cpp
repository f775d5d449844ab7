// Register and bit images to tag values and back, as devices and clients see them.
#include "modbus/RegisterKind.h"
#include "modbus/ValueDecoding.h"
#include "modbus/ValueEncoding.h"

#include <gtest/gtest.h>
#include <vector>

using namespace vorn;
using namespace vorn::modbus;

namespace {

TagShape holding(VARTYPE type, uint16_t elements = 0, uint16_t bit = 0, uint16_t address = 0) {
    return TagShape{type, elements, bit, address, RegisterKind::kHoldingRegister};
}

TagShape coil(VARTYPE type, uint16_t elements = 0, uint16_t address = 0) {
    return TagShape{type, elements, 0, address, RegisterKind::kCoil};
}

Variant decoded(const TagShape& tag, std::vector<uint8_t> bytes) {
    std::optional<Variant> value = registersToValue(tag, bytes);
    EXPECT_TRUE(value.has_value());
    return value.value_or(Variant());
}

Variant boolArray(std::vector<bool> bits) {
    Variant value = Variant::array(VT_BOOL, bits.size());
    for (size_t i = 0; i < bits.size(); ++i)
        value.at(i) = Variant::boolean(bits[i]);
    return value;
}

} // namespace

TEST(ValueConversion, FloatInTwoRegistersHighWordFirstBothWays) {
    const TagShape tag = holding(VT_R4);
    EXPECT_EQ(decoded(tag, {0x41, 0x48, 0x00, 0x00}), Variant::r4(12.5f));
    std::vector<uint8_t> out(4, 0xEE);
    ASSERT_EQ(valueToRegisters(tag, Variant::r4(12.5f), out), EncodeStatus::ok);
    EXPECT_EQ(out, (std::vector<uint8_t>{0x41, 0x48, 0x00, 0x00}));
}

TEST(ValueConversion, SixteenAndThirtyTwoBitIntegersKeepSign) {
    EXPECT_EQ(decoded(holding(VT_I4), {0x00, 0x01, 0x00, 0x02}), Variant::i4(65538));
    EXPECT_EQ(decoded(holding(VT_I2), {0xFF, 0xFF}), Variant::i2(-1));
    EXPECT_EQ(decoded(holding(VT_UI2), {0xFF, 0xFF}), Variant::ui2(65535));
    EXPECT_EQ(decoded(holding(VT_UI4), {0xFF, 0xFF, 0xFF, 0xFE}), Variant::ui4(0xFFFFFFFEu));

    std::vector<uint8_t> out(4);
    ASSERT_EQ(valueToRegisters(holding(VT_I4), Variant::i4(-2), out), EncodeStatus::ok);
    EXPECT_EQ(out, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFE}));
    ASSERT_EQ(valueToRegisters(holding(VT_UI2), Variant::ui2(0x1234), out), EncodeStatus::ok);
    EXPECT_EQ(out[0], 0x12);
    EXPECT_EQ(out[1], 0x34);
}

TEST(ValueConversion, StringReadsItsCharactersAndShorterWriteClearsTheRest) {
    const TagShape tag = holding(VT_BSTR, 5);
    const Variant text = decoded(tag, {0x41, 0x42, 0x43, 0x44, 0x45, 0x00});
    EXPECT_EQ(text, Variant::bstr(u"ABCDE"));

    std::vector<uint8_t> out{0x41, 0x42, 0x43, 0x44, 0x45, 0x77};
    ASSERT_EQ(valueToRegisters(tag, Variant::bstr(u"XY"), out), EncodeStatus::ok);
    EXPECT_EQ(out, (std::vector<uint8_t>{0x58, 0x59, 0, 0, 0, 0x77}));
    EXPECT_EQ(writtenLength(*valueForTag(tag, Variant::bstr(u"XY"))), 2u);
    EXPECT_EQ(writtenUnitCount(tag, Variant::bstr(u"XY")), 1u);
}

TEST(ValueConversion, OddLengthStringLongerThanTagLeavesNoStaleByte) {
    std::vector<uint8_t> out(4, 0x77);
    ASSERT_EQ(valueToRegisters(holding(VT_BSTR, 2), Variant::bstr(u"XYZ"), out), EncodeStatus::ok);
    EXPECT_EQ(out, (std::vector<uint8_t>{0x58, 0x59, 0x5A, 0x00}));
    EXPECT_EQ(writtenUnitCount(holding(VT_BSTR, 2), Variant::bstr(u"XYZ")), 2u);
}

TEST(ValueConversion, RegisterBitReadsItsWeightAndWriteChangesOnlyThatBit) {
    const TagShape tag = holding(VT_BOOL, 0, 3);
    const Variant set = decoded(tag, {0x00, 0x08});
    EXPECT_EQ(set.asInt64(), 8);
    const Variant clear = decoded(tag, {0x00, 0x07});
    EXPECT_EQ(clear.asInt64(), 0);

    std::vector<uint8_t> out{0xA5, 0x07};
    ASSERT_EQ(valueToRegisters(tag, Variant::boolean(true), out), EncodeStatus::ok);
    EXPECT_EQ(out, (std::vector<uint8_t>{0xA5, 0x0F}));
    ASSERT_EQ(valueToRegisters(holding(VT_BOOL, 0, 15), Variant::boolean(false), out),
              EncodeStatus::ok);
    EXPECT_EQ(out, (std::vector<uint8_t>{0x25, 0x0F}));
}

TEST(ValueConversion, RegisterBitNumberBeyondItsRegisterIsRefused) {
    std::vector<uint8_t> out{0xFF, 0xFF};
    EXPECT_FALSE(registersToValue(holding(VT_BOOL, 0, 16), out).has_value());
    EXPECT_EQ(valueToRegisters(holding(VT_BOOL, 0, 16), Variant::boolean(false), out),
              EncodeStatus::badShape);
    EXPECT_EQ(out, (std::vector<uint8_t>{0xFF, 0xFF}));
}

TEST(ValueConversion, BoolArrayInRegistersCrossesIntoTheNextRegister) {
    const TagShape tag = holding(VT_ARRAY | VT_BOOL, 4, 14);
    // Bits 14, 15 of the first register, bits 0, 1 of the second: set, clear, clear, set.
    const Variant value = decoded(tag, {0x40, 0x00, 0x00, 0x02});
    ASSERT_EQ(value.size(), 4u);
    EXPECT_EQ(value.at(0).asInt64(), 0x4000);
    EXPECT_EQ(value.at(1).asInt64(), 0);
    EXPECT_EQ(value.at(2).asInt64(), 0);
    EXPECT_EQ(value.at(3).asInt64(), 2);
    EXPECT_FALSE(registersToValue(tag, std::vector<uint8_t>{0x40, 0x00, 0x00}).has_value());

    std::vector<uint8_t> out{0x00, 0x11, 0x22, 0x00};
    ASSERT_EQ(valueToRegisters(tag, boolArray({true, true, false, true}), out), EncodeStatus::ok);
    EXPECT_EQ(out, (std::vector<uint8_t>{0xC0, 0x11, 0x22, 0x02}));
    EXPECT_EQ(writtenUnitCount(tag, boolArray({true, true, true, true})), 2u);
}

TEST(ValueConversion, NumericArraysKeepElementOrder) {
    const Variant shorts = decoded(holding(VT_ARRAY | VT_I2, 2), {0xFF, 0xFE, 0x00, 0x05});
    EXPECT_EQ(shorts.at(0), Variant::i2(-2));
    EXPECT_EQ(shorts.at(1), Variant::i2(5));
    const Variant bytes = decoded(holding(VT_ARRAY | VT_UI1, 3), {0x01, 0x02, 0x03, 0x04});
    EXPECT_EQ(bytes.at(0), Variant::ui1(1));
    EXPECT_EQ(bytes.at(2), Variant::ui1(3));
    const Variant floats = decoded(holding(VT_ARRAY | VT_R4, 2), {0x41, 0x48, 0, 0, 0xC0, 0, 0, 0});
    EXPECT_EQ(floats.at(1), Variant::r4(-2.0f));

    Variant longs = Variant::array(VT_I4, 2);
    longs.at(0) = Variant::i4(65538);
    longs.at(1) = Variant::i4(-1);
    std::vector<uint8_t> out(8);
    ASSERT_EQ(valueToRegisters(holding(VT_ARRAY | VT_I4, 2), longs, out), EncodeStatus::ok);
    EXPECT_EQ(out, (std::vector<uint8_t>{0, 1, 0, 2, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(writtenUnitCount(holding(VT_ARRAY | VT_I4, 9), longs), 4u);
}

TEST(ValueConversion, ShortInputGivesNoValueAndSmallDestinationStaysUntouched) {
    struct Case {
        TagShape tag;
        size_t needed;
    };
    const Case cases[] = {{holding(VT_I2), 2},
                          {holding(VT_R4), 4},
                          {holding(VT_BSTR, 5), 5},
                          {holding(VT_ARRAY | VT_UI2, 3), 6},
                          {holding(VT_ARRAY | VT_I1, 3), 3}};
    for (const Case& c : cases) {
        const std::vector<uint8_t> full(c.needed, 0x31);
        EXPECT_TRUE(registersToValue(c.tag, full).has_value()) << c.tag.nativeType;
        for (size_t size = 0; size < c.needed; ++size)
            EXPECT_FALSE(registersToValue(c.tag, std::span(full).first(size)).has_value())
                << c.tag.nativeType << " with " << size << " bytes";
    }
    std::vector<uint8_t> small(3, 0x55);
    EXPECT_EQ(valueToRegisters(holding(VT_R4), Variant::r4(1.0f), small),
              EncodeStatus::destinationTooSmall);
    EXPECT_EQ(valueToRegisters(holding(VT_BSTR, 1), Variant::bstr(u"ABCD"), small),
              EncodeStatus::destinationTooSmall);
    EXPECT_EQ(small, std::vector<uint8_t>(3, 0x55));
}

TEST(ValueConversion, WrittenValueOfAnotherTypeIsConvertedOrRefused) {
    std::vector<uint8_t> out(2);
    ASSERT_EQ(valueToRegisters(holding(VT_I2), Variant::bstr(u"-3"), out), EncodeStatus::ok);
    EXPECT_EQ(out, (std::vector<uint8_t>{0xFF, 0xFD}));
    EXPECT_EQ(valueToRegisters(holding(VT_I2), Variant::i4(70000), out),
              EncodeStatus::notConvertible);
    EXPECT_EQ(valueToRegisters(holding(VT_EMPTY), Variant::i2(1), out),
              EncodeStatus::unsupportedType);
    EXPECT_EQ(writtenUnitCount(holding(VT_I2), Variant::bstr(u"word")), 0u);
}

TEST(ValueConversion, InputStatusAtBlockOffsetTenReadsBitTwoOfSecondByte) {
    const TagShape tag{VT_BOOL, 0, 0, 110, RegisterKind::kInputStatus};
    const std::vector<uint8_t> block{0xFF, 0x04};
    EXPECT_EQ(decodeTagValue(tag, block, 100)->asInt64(), 4);
    const std::vector<uint8_t> cleared{0xFF, 0xFB};
    EXPECT_EQ(decodeTagValue(tag, cleared, 100)->asInt64(), 0);
    EXPECT_FALSE(decodeTagValue(tag, std::span(block).first(1), 100).has_value());
    EXPECT_FALSE(decodeTagValue(tag, block, 111).has_value()); // tag before the block
}

TEST(ValueConversion, CoilArrayOfTenTrueValuesWritesFF03) {
    const TagShape tag = coil(VT_ARRAY | VT_BOOL, 10);
    std::vector<uint8_t> out(2, 0);
    ASSERT_EQ(valueToBits(tag, boolArray(std::vector<bool>(10, true)), out, 0, false),
              EncodeStatus::ok);
    EXPECT_EQ(out, (std::vector<uint8_t>{0xFF, 0x03}));
    const Variant back = *bitsToValue(tag, out, 0);
    ASSERT_EQ(back.size(), 10u);
    for (size_t i = 0; i < 10; ++i)
        EXPECT_EQ(back.at(i).asInt64(), 1);
    EXPECT_EQ(writtenUnitCount(tag, boolArray(std::vector<bool>(12, true))), 12u);
}

TEST(ValueConversion, SingleCoilWritesFF00OrKeepsNeighbourStates) {
    const TagShape tag = coil(VT_BOOL, 0, 21);
    std::vector<uint8_t> single(2, 0x55);
    ASSERT_EQ(encodeTagValue(tag, Variant::boolean(true), single, 21, true), EncodeStatus::ok);
    EXPECT_EQ(single, (std::vector<uint8_t>{0xFF, 0x00}));
    ASSERT_EQ(encodeTagValue(tag, Variant::i2(0), single, 21, true), EncodeStatus::ok);
    EXPECT_EQ(single, (std::vector<uint8_t>{0x00, 0x00}));

    // Coil 21 in a block from 10 is bit 3 of the second byte; the read states stay.
    std::vector<uint8_t> block{0xAA, 0xF0};
    ASSERT_EQ(encodeTagValue(tag, Variant::boolean(true), block, 10, false), EncodeStatus::ok);
    EXPECT_EQ(block, (std::vector<uint8_t>{0xAA, 0xF8}));
    ASSERT_EQ(encodeTagValue(tag, Variant::boolean(false), block, 10, false), EncodeStatus::ok);
    EXPECT_EQ(block, (std::vector<uint8_t>{0xAA, 0xF0}));
    EXPECT_EQ(encodeTagValue(tag, Variant::boolean(true), std::span(block).first(1), 10, false),
              EncodeStatus::destinationTooSmall);
}

TEST(ValueConversion, CoilSwitchesByTruthOfAnyWrittenType) {
    std::vector<uint8_t> out{0x00};
    ASSERT_EQ(valueToBits(coil(VT_BSTR), Variant::bstr(u"true"), out, 2, false), EncodeStatus::ok);
    EXPECT_EQ(out[0], 0x04);
    ASSERT_EQ(valueToBits(coil(VT_BOOL), Variant::r4(0.0f), out, 2, false), EncodeStatus::ok);
    EXPECT_EQ(out[0], 0x00);
    EXPECT_EQ(valueToBits(coil(VT_BOOL), Variant::bstr(u"maybe"), out, 2, false),
              EncodeStatus::notConvertible);
}

TEST(ValueConversion, OneElementCoilArrayBySingleWriteSendsTheSingleCoilValue) {
    std::vector<uint8_t> out(2, 0);
    ASSERT_EQ(valueToBits(coil(VT_ARRAY | VT_BOOL, 1), boolArray({true}), out, 0, true),
              EncodeStatus::ok);
    EXPECT_EQ(out, (std::vector<uint8_t>{0xFF, 0x00}));
}
