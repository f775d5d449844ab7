// Values that clients write in another type than the tag's: what reaches the tag, and which
// values are refused with which status.
#include "toolkit/ua/WriteConversion.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace vorn::ua;
using vorn::VARTYPE;

namespace {

Variant scalar(uint8_t type, Scalar value) {
    return Variant::scalar(type, std::move(value));
}

// The status of writing `value` to a tag of `native` type, and the toolkit value it became.
struct Written {
    StatusCode status;
    vorn::Variant value;
};

Written write(const Variant& value, VARTYPE native) {
    Written w{0, {}};
    w.status = convertWrittenValue(value, native, w.value);
    return w;
}

Variant dbl(double v) {
    return scalar(BuiltinType::kDouble, v);
}

} // namespace

TEST(WriteConversion, NumbersOfEveryClientTypeBecomeTheTagsType) {
    const vorn::Variant ninetyNine = vorn::Variant::ui2(99);
    for (const Variant& sent :
         {dbl(99.0), scalar(BuiltinType::kInt32, int64_t{99}), scalar(BuiltinType::kString, "99"),
          scalar(BuiltinType::kFloat, 99.0), scalar(BuiltinType::kByte, uint64_t{99}),
          scalar(BuiltinType::kInt64, int64_t{99}), scalar(BuiltinType::kUInt64, uint64_t{99}),
          scalar(BuiltinType::kUInt16, uint64_t{99})}) {
        Written w = write(sent, vorn::VT_UI2);
        EXPECT_EQ(w.status, Status::kGood) << int(sent.type);
        EXPECT_EQ(w.value, ninetyNine) << int(sent.type);
    }
}

TEST(WriteConversion, FractionsRoundHalfToEven) {
    EXPECT_EQ(write(dbl(1.5), vorn::VT_I2).value, vorn::Variant::i2(2));
    EXPECT_EQ(write(dbl(2.5), vorn::VT_I2).value, vorn::Variant::i2(2));
    EXPECT_EQ(write(dbl(-2.5), vorn::VT_I2).value, vorn::Variant::i2(-2));
    EXPECT_EQ(write(dbl(2.51), vorn::VT_I2).value, vorn::Variant::i2(3));
    EXPECT_EQ(write(scalar(BuiltinType::kString, " 3.5 "), vorn::VT_I4).value,
              vorn::Variant::i4(4));
    EXPECT_EQ(write(scalar(BuiltinType::kFloat, 0.5), vorn::VT_UI1).value, vorn::Variant::ui1(0));
}

TEST(WriteConversion, ValuesThatDoNotFitAreOutOfRange) {
    vorn::Variant untouched = vorn::Variant::i2(7);
    EXPECT_EQ(convertWrittenValue(dbl(70000), vorn::VT_UI2, untouched), Status::kBadOutOfRange);
    EXPECT_EQ(untouched, vorn::Variant::i2(7));
    EXPECT_EQ(write(scalar(BuiltinType::kInt32, int64_t{-1}), vorn::VT_UI2).status,
              Status::kBadOutOfRange);
    EXPECT_EQ(write(scalar(BuiltinType::kString, "70000"), vorn::VT_UI2).status,
              Status::kBadOutOfRange);
    EXPECT_EQ(write(scalar(BuiltinType::kInt64, int64_t{1} << 40), vorn::VT_UI4).status,
              Status::kBadOutOfRange);
    EXPECT_EQ(write(scalar(BuiltinType::kUInt64, ~uint64_t{0}), vorn::VT_I4).status,
              Status::kBadOutOfRange);
    EXPECT_EQ(write(dbl(32767.5), vorn::VT_I2).status, Status::kBadOutOfRange); // rounds to 32768
    EXPECT_EQ(write(dbl(INFINITY), vorn::VT_I4).status, Status::kBadOutOfRange);
    EXPECT_EQ(write(dbl(NAN), vorn::VT_I4).status, Status::kBadOutOfRange);
    EXPECT_EQ(write(dbl(1e39), vorn::VT_R4).status, Status::kBadOutOfRange);
    EXPECT_EQ(write(dbl(-1e300), vorn::VT_I4).status, Status::kBadOutOfRange);
}

TEST(WriteConversion, DoublesKeepTheirPrecisionUpToTheTag) {
    // Through a Float these would become 4294967296 (out of range) and 16777216.
    EXPECT_EQ(write(dbl(4294967295.0), vorn::VT_UI4).value, vorn::Variant::ui4(4294967295u));
    EXPECT_EQ(write(dbl(16777217.0), vorn::VT_I4).value, vorn::Variant::i4(16777217));
    EXPECT_EQ(write(dbl(12.5), vorn::VT_R4).value, vorn::Variant::r4(12.5f));
}

TEST(WriteConversion, TextThatIsNoNumberAndOtherTypesAreAMismatch) {
    EXPECT_EQ(write(scalar(BuiltinType::kString, "abc"), vorn::VT_UI2).status,
              Status::kBadTypeMismatch);
    EXPECT_EQ(write(scalar(BuiltinType::kString, ""), vorn::VT_I2).status,
              Status::kBadTypeMismatch);
    EXPECT_EQ(write(scalar(BuiltinType::kDateTime, int64_t{5}), vorn::VT_I4).status,
              Status::kBadTypeMismatch);
    EXPECT_EQ(write(scalar(BuiltinType::kByteString, "xy"), vorn::VT_BSTR).status,
              Status::kBadTypeMismatch);
    EXPECT_EQ(write(Variant{}, vorn::VT_I2).status, Status::kBadTypeMismatch);
    // Arrays for scalars and scalars for arrays.
    EXPECT_EQ(write(Variant::array(BuiltinType::kDouble, {1.0}), vorn::VT_I2).status,
              Status::kBadTypeMismatch);
    EXPECT_EQ(write(dbl(1.0), vorn::VT_ARRAY | vorn::VT_I2).status, Status::kBadTypeMismatch);
}

TEST(WriteConversion, BooleansAndTextFollowTheTypeChangeRules) {
    // VARIANT_TRUE truncated to the target's width.
    EXPECT_EQ(write(scalar(BuiltinType::kBoolean, true), vorn::VT_I2).value, vorn::Variant::i2(-1));
    EXPECT_EQ(write(scalar(BuiltinType::kBoolean, true), vorn::VT_UI2).value,
              vorn::Variant::ui2(65535));
    EXPECT_EQ(write(scalar(BuiltinType::kInt32, int64_t{5}), vorn::VT_BOOL).value,
              vorn::Variant::boolean(true));
    EXPECT_EQ(write(dbl(0.0), vorn::VT_BOOL).value, vorn::Variant::boolean(false));
    EXPECT_EQ(write(scalar(BuiltinType::kString, "True"), vorn::VT_BOOL).value,
              vorn::Variant::boolean(true));
    EXPECT_EQ(write(dbl(99.0), vorn::VT_BSTR).value, vorn::Variant::bstrFromUtf8("99"));
    EXPECT_EQ(write(dbl(1.25), vorn::VT_BSTR).value, vorn::Variant::bstrFromUtf8("1.25"));
    EXPECT_EQ(write(scalar(BuiltinType::kInt32, int64_t{-5}), vorn::VT_BSTR).value,
              vorn::Variant::bstrFromUtf8("-5"));
}

TEST(WriteConversion, ArraysAreConvertedElementByElement) {
    Written w = write(Variant::array(BuiltinType::kDouble, {1.5, 2.5, 70000.0}),
                      vorn::VT_ARRAY | vorn::VT_I4);
    ASSERT_EQ(w.status, Status::kGood);
    ASSERT_EQ(w.value.size(), 3u);
    EXPECT_EQ(w.value.at(0), vorn::Variant::i4(2));
    EXPECT_EQ(w.value.at(1), vorn::Variant::i4(2));
    EXPECT_EQ(w.value.at(2), vorn::Variant::i4(70000));
    EXPECT_EQ(
        write(Variant::array(BuiltinType::kDouble, {1.0, 70000.0}), vorn::VT_ARRAY | vorn::VT_UI2)
            .status,
        Status::kBadOutOfRange);
    EXPECT_EQ(write(Variant::array(BuiltinType::kString, {std::string("1"), std::string("x")}),
                    vorn::VT_ARRAY | vorn::VT_UI1)
                  .status,
              Status::kBadTypeMismatch);
}

TEST(WriteConversion, TheTagsOwnTypeAndUntypedTagsAreUnchanged) {
    EXPECT_EQ(write(scalar(BuiltinType::kInt16, int64_t{-3}), vorn::VT_I2).value,
              vorn::Variant::i2(-3));
    EXPECT_EQ(write(scalar(BuiltinType::kInt16, int64_t{-3}), vorn::VT_EMPTY).value,
              vorn::Variant::i2(-3));
    // A tag without a type holds what the toolkit can hold, a Double too; a DateTime is none of
    // that.
    EXPECT_EQ(write(dbl(1.5), vorn::VT_EMPTY).value, vorn::Variant::r8(1.5));
    EXPECT_EQ(write(scalar(BuiltinType::kDateTime, int64_t{0}), vorn::VT_EMPTY).status,
              Status::kBadTypeMismatch);
}

TEST(WriteConversion, SixtyFourBitTagsTakeEveryDigitAndDoublesKeepTheirPrecision) {
    const uint64_t aboveTwoTo53 = (uint64_t{1} << 53) + 1;
    EXPECT_EQ(write(scalar(BuiltinType::kUInt64, aboveTwoTo53), vorn::VT_UI8).value,
              vorn::Variant::ui8(aboveTwoTo53));
    EXPECT_EQ(write(scalar(BuiltinType::kInt64, int64_t{-5}), vorn::VT_I8).value,
              vorn::Variant::i8(-5));
    EXPECT_EQ(write(scalar(BuiltinType::kInt32, int64_t{7}), vorn::VT_UI8).value,
              vorn::Variant::ui8(7));
    EXPECT_EQ(write(scalar(BuiltinType::kString, "18446744073709551615"), vorn::VT_UI8).value,
              vorn::Variant::ui8(UINT64_MAX));
    EXPECT_EQ(write(dbl(2.5), vorn::VT_I8).value, vorn::Variant::i8(2));
    EXPECT_EQ(write(dbl(0.1), vorn::VT_R8).value, vorn::Variant::r8(0.1));
    EXPECT_EQ(write(scalar(BuiltinType::kInt32, int64_t{3}), vorn::VT_R8).value,
              vorn::Variant::r8(3.0));

    EXPECT_EQ(write(scalar(BuiltinType::kUInt64, UINT64_MAX), vorn::VT_I8).status,
              Status::kBadOutOfRange);
    EXPECT_EQ(write(scalar(BuiltinType::kInt64, int64_t{-1}), vorn::VT_UI8).status,
              Status::kBadOutOfRange);
    EXPECT_EQ(write(dbl(1e20), vorn::VT_UI8).status, Status::kBadOutOfRange);
    EXPECT_EQ(write(scalar(BuiltinType::kString, "many"), vorn::VT_R8).status,
              Status::kBadTypeMismatch);
}
