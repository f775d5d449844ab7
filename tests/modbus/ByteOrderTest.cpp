// Byte transcripts of the four byte orders: what a device sends for a value in each order, read
// into the tag's value and written back to the same bytes. 0xAABBCCDD in CDAB comes on the wire
// as CC DD AA BB; 64-bit values follow the same two choices (registers least significant
// first, bytes swapped in each register).
#include "modbus/RegisterKind.h"
#include "modbus/ValueDecoding.h"
#include "modbus/ValueEncoding.h"
#include "modbus/WriteFit.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

using namespace vorn;
using namespace vorn::modbus;

namespace {

constexpr ByteOrder kOrders[] = {ByteOrder::abcd, ByteOrder::cdab, ByteOrder::badc,
                                 ByteOrder::dcba};
const char* const kOrderNames[] = {"ABCD", "CDAB", "BADC", "DCBA"};

TagShape holding(VARTYPE type, ByteOrder order, uint16_t elements = 0, uint16_t bit = 0) {
    return TagShape{type, elements, bit, 0, RegisterKind::kHoldingRegister, order};
}

// "CC DD AA BB" -> bytes.
std::vector<uint8_t> wire(const std::string& hex) {
    std::istringstream in(hex);
    std::vector<uint8_t> bytes;
    unsigned byte = 0;
    while (in >> std::hex >> byte)
        bytes.push_back(static_cast<uint8_t>(byte));
    return bytes;
}

std::string hexOf(const std::vector<uint8_t>& bytes) {
    std::string text;
    char part[4];
    for (uint8_t byte : bytes) {
        std::snprintf(part, sizeof part, "%02X ", byte);
        text += part;
    }
    return text.empty() ? text : text.substr(0, text.size() - 1);
}

// One value of a type as it comes on the wire in each of the four orders.
struct Transcript {
    const char* what;
    VARTYPE type;
    Variant value;
    const char* onWire[4]; // ABCD, CDAB, BADC, DCBA
};

// Reading the bytes gives the value; writing the value gives the bytes.
void expectBothWays(const Transcript& t) {
    for (size_t o = 0; o < 4; ++o) {
        SCOPED_TRACE(std::string(t.what) + " in " + kOrderNames[o]);
        const TagShape tag = holding(t.type, kOrders[o]);
        const std::optional<Variant> read = registersToValue(tag, wire(t.onWire[o]));
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(*read, t.value);
        std::vector<uint8_t> written(wire(t.onWire[o]).size(), 0xEE);
        ASSERT_EQ(valueToRegisters(tag, t.value, written), EncodeStatus::ok);
        EXPECT_EQ(hexOf(written), t.onWire[o]);
    }
}

} // namespace

TEST(ByteOrder, ThirtyTwoBitValuesInEachOrderBothWays) {
    const Transcript transcripts[] = {
        {"unsigned 0xAABBCCDD",
         VT_UI4,
         Variant::ui4(0xAABBCCDDu),
         {"AA BB CC DD", "CC DD AA BB", "BB AA DD CC", "DD CC BB AA"}},
        {"signed -2",
         VT_I4,
         Variant::i4(-2),
         {"FF FF FF FE", "FF FE FF FF", "FF FF FE FF", "FE FF FF FF"}},
        {"signed 65538",
         VT_I4,
         Variant::i4(65538),
         {"00 01 00 02", "00 02 00 01", "01 00 02 00", "02 00 01 00"}},
        {"float 12.5",
         VT_R4,
         Variant::r4(12.5f),
         {"41 48 00 00", "00 00 41 48", "48 41 00 00", "00 00 48 41"}},
        {"float -0.75",
         VT_R4,
         Variant::r4(-0.75f),
         {"BF 40 00 00", "00 00 BF 40", "40 BF 00 00", "00 00 40 BF"}},
        {"float +infinity",
         VT_R4,
         Variant::r4(std::numeric_limits<float>::infinity()),
         {"7F 80 00 00", "00 00 7F 80", "80 7F 00 00", "00 00 80 7F"}},
        {"float -infinity",
         VT_R4,
         Variant::r4(-std::numeric_limits<float>::infinity()),
         {"FF 80 00 00", "00 00 FF 80", "80 FF 00 00", "00 00 80 FF"}},
    };
    for (const Transcript& t : transcripts)
        expectBothWays(t);
}

TEST(ByteOrder, SixtyFourBitValuesInEachOrderBothWays) {
    const Transcript transcripts[] = {
        {"unsigned 0x0102030405060708",
         VT_UI8,
         Variant::ui8(0x0102030405060708ull),
         {"01 02 03 04 05 06 07 08", "07 08 05 06 03 04 01 02", "02 01 04 03 06 05 08 07",
          "08 07 06 05 04 03 02 01"}},
        {"UInt64 maximum",
         VT_UI8,
         Variant::ui8(std::numeric_limits<uint64_t>::max()),
         {"FF FF FF FF FF FF FF FF", "FF FF FF FF FF FF FF FF", "FF FF FF FF FF FF FF FF",
          "FF FF FF FF FF FF FF FF"}},
        {"Int64 minimum",
         VT_I8,
         Variant::i8(std::numeric_limits<int64_t>::min()),
         {"80 00 00 00 00 00 00 00", "00 00 00 00 00 00 80 00", "00 80 00 00 00 00 00 00",
          "00 00 00 00 00 00 00 80"}},
        {"Int64 maximum",
         VT_I8,
         Variant::i8(std::numeric_limits<int64_t>::max()),
         {"7F FF FF FF FF FF FF FF", "FF FF FF FF FF FF 7F FF", "FF 7F FF FF FF FF FF FF",
          "FF FF FF FF FF FF FF 7F"}},
        {"signed -2",
         VT_I8,
         Variant::i8(-2),
         {"FF FF FF FF FF FF FF FE", "FF FE FF FF FF FF FF FF", "FF FF FF FF FF FF FE FF",
          "FE FF FF FF FF FF FF FF"}},
        {"a counter above 2^53",
         VT_UI8,
         Variant::ui8(9007199254740993ull), // 2^53 + 1
         {"00 20 00 00 00 00 00 01", "00 01 00 00 00 00 00 20", "20 00 00 00 00 00 01 00",
          "01 00 00 00 00 00 20 00"}},
        {"double 1.5",
         VT_R8,
         Variant::r8(1.5),
         {"3F F8 00 00 00 00 00 00", "00 00 00 00 00 00 3F F8", "F8 3F 00 00 00 00 00 00",
          "00 00 00 00 00 00 F8 3F"}},
        {"double -infinity",
         VT_R8,
         Variant::r8(-std::numeric_limits<double>::infinity()),
         {"FF F0 00 00 00 00 00 00", "00 00 00 00 00 00 FF F0", "F0 FF 00 00 00 00 00 00",
          "00 00 00 00 00 00 F0 FF"}},
    };
    for (const Transcript& t : transcripts)
        expectBothWays(t);
}

// NaN equals nothing, itself included: its bits are compared instead.
TEST(ByteOrder, NotANumberKeepsItsBitsInEachOrder) {
    const char* const floatNaN[] = {"7F C0 00 00", "00 00 7F C0", "C0 7F 00 00", "00 00 C0 7F"};
    const char* const doubleNaN[] = {"7F F8 00 00 00 00 00 00", "00 00 00 00 00 00 7F F8",
                                     "F8 7F 00 00 00 00 00 00", "00 00 00 00 00 00 F8 7F"};
    for (size_t o = 0; o < 4; ++o) {
        SCOPED_TRACE(kOrderNames[o]);
        const std::optional<Variant> f =
            registersToValue(holding(VT_R4, kOrders[o]), wire(floatNaN[o]));
        ASSERT_TRUE(f);
        EXPECT_TRUE(std::isnan(f->asFloat()));
        std::vector<uint8_t> out(4);
        ASSERT_EQ(valueToRegisters(holding(VT_R4, kOrders[o]), *f, out), EncodeStatus::ok);
        EXPECT_EQ(hexOf(out), floatNaN[o]);

        const std::optional<Variant> d =
            registersToValue(holding(VT_R8, kOrders[o]), wire(doubleNaN[o]));
        ASSERT_TRUE(d);
        EXPECT_TRUE(std::isnan(d->asDouble()));
        std::vector<uint8_t> wide(8);
        ASSERT_EQ(valueToRegisters(holding(VT_R8, kOrders[o]), *d, wide), EncodeStatus::ok);
        EXPECT_EQ(hexOf(wide), doubleNaN[o]);
    }
}

TEST(ByteOrder, ArraysReorderEachElementAndKeepTheirElementOrder) {
    Variant floats = Variant::array(VT_R4, 2);
    floats.at(0) = Variant::r4(12.5f);
    floats.at(1) = Variant::r4(-0.75f);
    const TagShape cdab = holding(VT_ARRAY | VT_R4, ByteOrder::cdab, 2);
    EXPECT_EQ(registersToValue(cdab, wire("00 00 41 48 00 00 BF 40")), floats);
    std::vector<uint8_t> out(8);
    ASSERT_EQ(valueToRegisters(cdab, floats, out), EncodeStatus::ok);
    EXPECT_EQ(hexOf(out), "00 00 41 48 00 00 BF 40");

    Variant counters = Variant::array(VT_UI8, 2);
    counters.at(0) = Variant::ui8(1);
    counters.at(1) = Variant::ui8(0x0001000200030004ull);
    const TagShape dcba = holding(VT_ARRAY | VT_UI8, ByteOrder::dcba, 2);
    const char* onWire = "01 00 00 00 00 00 00 00 04 00 03 00 02 00 01 00";
    EXPECT_EQ(registersToValue(dcba, wire(onWire)), counters);
    std::vector<uint8_t> wide(16);
    ASSERT_EQ(valueToRegisters(dcba, counters, wide), EncodeStatus::ok);
    EXPECT_EQ(hexOf(wide), onWire);
}

TEST(ByteOrder, SixteenBitValuesStringsAndBytesOnlySwapTheirRegistersBytes) {
    // A 16-bit value has no words to swap: CDAB is ABCD, DCBA is BADC.
    const Transcript word{
        "signed -2", VT_I2, Variant::i2(-2), {"FF FE", "FF FE", "FE FF", "FE FF"}};
    expectBothWays(word);
    const Transcript unsignedWord{
        "unsigned 0x1234", VT_UI2, Variant::ui2(0x1234), {"12 34", "12 34", "34 12", "34 12"}};
    expectBothWays(unsignedWord);

    // "ABCDE" with the low byte of each register first; the pad byte stays in its register.
    const TagShape text = holding(VT_BSTR, ByteOrder::badc, 5);
    EXPECT_EQ(registersToValue(text, wire("42 41 44 43 00 45")), Variant::bstr(u"ABCDE"));
    std::vector<uint8_t> out = wire("EE EE EE EE EE EE");
    ASSERT_EQ(valueToRegisters(text, Variant::bstr(u"ABCDE"), out), EncodeStatus::ok);
    EXPECT_EQ(hexOf(out), "42 41 44 43 00 45");
    // A shorter string clears the tag's other characters in the device's order too.
    ASSERT_EQ(valueToRegisters(text, Variant::bstr(u"XYZ"), out), EncodeStatus::ok);
    EXPECT_EQ(hexOf(out), "59 58 00 5A 00 00");

    Variant bytes = Variant::array(VT_UI1, 3);
    bytes.at(0) = Variant::ui1(1);
    bytes.at(1) = Variant::ui1(2);
    bytes.at(2) = Variant::ui1(3);
    const TagShape byteArray = holding(VT_ARRAY | VT_UI1, ByteOrder::badc, 3);
    EXPECT_EQ(registersToValue(byteArray, wire("02 01 00 03")), bytes);
    // The pad byte (the last register's high byte on this wire) keeps what was read.
    std::vector<uint8_t> packed = wire("EE EE 77 EE");
    ASSERT_EQ(valueToRegisters(byteArray, bytes, packed), EncodeStatus::ok);
    EXPECT_EQ(hexOf(packed), "02 01 77 03");
}

TEST(ByteOrder, BitsInRegistersAreNumberedInTheRegistersValueWhateverTheOrder) {
    for (ByteOrder order : kOrders) {
        // Register value 0x0008: bit 3 set, whatever order the device's numbers come in.
        const TagShape bit = holding(VT_BOOL, order, 0, 3);
        EXPECT_EQ(registersToValue(bit, wire("00 08"))->asInt64(), 8);
        EXPECT_EQ(registersToValue(bit, wire("08 00"))->asInt64(), 0);
        std::vector<uint8_t> out = wire("80 00");
        ASSERT_EQ(valueToRegisters(bit, Variant::boolean(true), out), EncodeStatus::ok);
        EXPECT_EQ(hexOf(out), "80 08");
    }
}

// ---- Scaling --------------------------------------------------------------------------------

namespace {

const Scaling kPercentOfSpeed{0, 16384, 0, 100}; // a drive's 16384 = 100 %

TagShape scaled(VARTYPE type, const Scaling& scaling, ByteOrder order = ByteOrder::abcd,
                uint16_t elements = 0) {
    TagShape tag = holding(type, order, elements);
    tag.scaling = &scaling;
    return tag;
}

} // namespace

TEST(Scaling, RawRegistersAreServedAsEngineeringDoubles) {
    const TagShape speed = scaled(VT_UI2, kPercentOfSpeed);
    EXPECT_EQ(registersToValue(speed, wire("20 00")), Variant::r8(50.0));
    EXPECT_EQ(registersToValue(speed, wire("40 00")), Variant::r8(100.0));
    EXPECT_EQ(servedType(speed), VT_R8);

    // "Times 0.1" with an offset: tenths of a degree from -50 degrees.
    const Scaling tenths{0, 10, -50, -49};
    EXPECT_EQ(registersToValue(scaled(VT_I2, tenths), wire("00 EB")), Variant::r8(-26.5));

    // The order applies to the raw value first: a CDAB float scaled by 1000 (kW -> W).
    const Scaling kiloToUnit{0, 1, 0, 1000};
    EXPECT_EQ(registersToValue(scaled(VT_R4, kiloToUnit, ByteOrder::cdab), wire("00 00 41 48")),
              Variant::r8(12500.0));

    Variant expected = Variant::array(VT_R8, 2);
    expected.at(0) = Variant::r8(25.0);
    expected.at(1) = Variant::r8(75.0);
    EXPECT_EQ(registersToValue(scaled(VT_ARRAY | VT_UI2, kPercentOfSpeed, ByteOrder::abcd, 2),
                               wire("10 00 30 00")),
              expected);
}

TEST(Scaling, AWrittenEngineeringValueIsMappedBackRoundedHalfToEven) {
    const TagShape speed = scaled(VT_UI2, kPercentOfSpeed);
    std::vector<uint8_t> out(2);
    // 42.5 % is 6963.2 raw.
    ASSERT_EQ(valueToRegisters(speed, Variant::r8(42.5), out), EncodeStatus::ok);
    EXPECT_EQ(hexOf(out), "1B 33");
    // Halves go to the even neighbour: raw 2.5 -> 2, raw 3.5 -> 4.
    const Scaling identity{0, 1, 0, 1};
    ASSERT_EQ(valueToRegisters(scaled(VT_I2, identity), Variant::r8(2.5), out), EncodeStatus::ok);
    EXPECT_EQ(hexOf(out), "00 02");
    ASSERT_EQ(valueToRegisters(scaled(VT_I2, identity), Variant::r8(3.5), out), EncodeStatus::ok);
    EXPECT_EQ(hexOf(out), "00 04");
    // Any number a client sends is an engineering value, text included.
    ASSERT_EQ(valueToRegisters(speed, Variant::bstr(u"25"), out), EncodeStatus::ok);
    EXPECT_EQ(hexOf(out), "10 00");
    // In the device's order, after the mapping.
    ASSERT_EQ(
        valueToRegisters(scaled(VT_UI2, kPercentOfSpeed, ByteOrder::badc), Variant::r8(25), out),
        EncodeStatus::ok);
    EXPECT_EQ(hexOf(out), "00 10");
}

TEST(Scaling, AValueWhoseRawValueDoesNotFitIsOutOfRangeAndWritesNothing) {
    const TagShape speed = scaled(VT_UI2, kPercentOfSpeed);
    // 400 % is raw 65536, one past a UInt16; -1 % is raw -163.84.
    for (double percent : {400.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        SCOPED_TRACE(percent);
        EXPECT_EQ(writeFit(speed, Variant::r8(percent)), WriteFit::outOfRange);
        std::vector<uint8_t> out = wire("EE EE");
        EXPECT_NE(valueToRegisters(speed, Variant::r8(percent), out), EncodeStatus::ok);
        EXPECT_EQ(hexOf(out), "EE EE");
    }
    // The bounds are not limits: 150 % is raw 24576 and fits.
    EXPECT_EQ(writeFit(speed, Variant::r8(150.0)), WriteFit::fits);
    EXPECT_EQ(writeFit(speed, Variant::bstr(u"fast")), WriteFit::notConvertible);
}
