#include "platform/Variant.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>

using namespace vorn;

TEST(VariantChangeType, NumbersConvertWithinRangeAndOverflowOutside) {
    Variant v = Variant::i4(65535);
    EXPECT_EQ(v.changeType(VT_UI2), ChangeResult::ok);
    EXPECT_EQ(v.type(), VT_UI2);
    EXPECT_EQ(v.asInt64(), 65535);

    Variant tooBig = Variant::i4(65536);
    EXPECT_EQ(tooBig.changeType(VT_UI2), ChangeResult::overflow);
    EXPECT_EQ(tooBig.type(), VT_I4) << "a failed change leaves the value as it was";

    Variant negative = Variant::i2(-1);
    EXPECT_EQ(negative.changeType(VT_UI4), ChangeResult::overflow);
    ChangeResult r;
    EXPECT_EQ(Variant::i4(-129).converted(VT_I1, r).type(), VT_EMPTY);
    EXPECT_EQ(r, ChangeResult::overflow);
}

TEST(VariantChangeType, FloatsRoundHalfToEven) {
    ChangeResult r;
    EXPECT_EQ(Variant::r4(2.5f).converted(VT_I2, r).asInt64(), 2);
    EXPECT_EQ(Variant::r4(3.5f).converted(VT_I2, r).asInt64(), 4);
    EXPECT_EQ(Variant::r4(-0.5f).converted(VT_I4, r).asInt64(), 0);
    EXPECT_EQ(Variant::r4(70000.0f).converted(VT_UI2, r).type(), VT_EMPTY);
    EXPECT_EQ(r, ChangeResult::overflow);
}

TEST(VariantChangeType, StringsParseAsDecimalNumbersOnly) {
    ChangeResult r;
    EXPECT_EQ(Variant::bstr(u" 12.7 ").converted(VT_UI2, r).asInt64(), 13);
    EXPECT_EQ(r, ChangeResult::ok);
    for (const char16_t* bad : {u"abc", u"", u"12abc", u"0x10", u"nan", u"inf"}) {
        Variant(Variant::bstr(bad)).converted(VT_I4, r);
        EXPECT_EQ(r, ChangeResult::typeMismatch) << std::u16string(bad).size();
    }
    Variant::bstr(u"-1").converted(VT_UI1, r);
    EXPECT_EQ(r, ChangeResult::overflow);
    EXPECT_FLOAT_EQ(Variant::bstr(u"12.5").converted(VT_R4, r).asFloat(), 12.5f);
}

TEST(VariantChangeType, BooleansFollowTheAutomationRules) {
    ChangeResult r;
    Variant t = Variant::boolean(true);
    EXPECT_EQ(t.converted(VT_I2, r).asInt64(), -1);
    EXPECT_EQ(t.converted(VT_UI2, r).asInt64(), 65535) << "VARIANT_TRUE truncates";
    EXPECT_EQ(t.converted(VT_BSTR, r).asString(), u"-1");
    EXPECT_TRUE(Variant::i4(8).converted(VT_BOOL, r).asBool());
    EXPECT_EQ(Variant::i4(8).converted(VT_BOOL, r).asInt64(), VARIANT_TRUE);
    EXPECT_FALSE(Variant::bstr(u"False").converted(VT_BOOL, r).asBool());
    EXPECT_TRUE(Variant::bstr(u"true").converted(VT_BOOL, r).asBool());
    Variant::bstr(u"maybe").converted(VT_BOOL, r);
    EXPECT_EQ(r, ChangeResult::typeMismatch);
    EXPECT_TRUE(Variant::boolWord(8).asBool()) << "a masked bit weight reads as set";
}

TEST(VariantChangeType, ArraysConvertElementWiseAndNeverToScalars) {
    Variant a = Variant::array(VT_I2, 3);
    a.at(0) = Variant::i2(1);
    a.at(1) = Variant::i2(-1);
    ChangeResult r;
    Variant asFloat = a.converted(VT_ARRAY | VT_R4, r);
    ASSERT_EQ(r, ChangeResult::ok);
    EXPECT_EQ(asFloat.size(), 3u);
    EXPECT_FLOAT_EQ(asFloat.at(1).asFloat(), -1.0f);
    a.converted(VT_ARRAY | VT_UI2, r);
    EXPECT_EQ(r, ChangeResult::overflow);
    a.converted(VT_I2, r);
    EXPECT_EQ(r, ChangeResult::typeMismatch);
    Variant::i2(1).converted(VT_ARRAY | VT_I2, r);
    EXPECT_EQ(r, ChangeResult::typeMismatch);
}

TEST(VariantArrays, StartAsZerosOfTheirElementType) {
    Variant a = Variant::array(VT_R4, 10);
    EXPECT_EQ(a.type(), VT_ARRAY | VT_R4);
    ASSERT_EQ(a.size(), 10u);
    for (const Variant& e : a.elements()) {
        EXPECT_EQ(e.type(), VT_R4);
        EXPECT_EQ(e.asFloat(), 0.0f);
    }
    a.resize(12);
    EXPECT_EQ(a.at(11).type(), VT_R4);
    EXPECT_EQ(vartypeName(a.type()), "VT_R4 ARRAY");
}

TEST(VariantText, Utf8RoundTripsAndBadBytesBecomeReplacementCharacters) {
    const std::string text = "Pumpe \xC3\xBC \xE2\x82\xAC \xF0\x9F\x98\x80";
    EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(text)), text);
    EXPECT_EQ(utf8ToUtf16("a\xFF"
                          "b"),
              u"a\uFFFD"
              u"b");
    EXPECT_EQ(utf8ToUtf16("\xE2\x82"), u"\uFFFD\uFFFD") << "a truncated sequence reads no further";
}

TEST(VariantChangeType, SixtyFourBitValuesKeepEveryDigitAndTheirRange) {
    ChangeResult r;
    const uint64_t uint64Max = UINT64_MAX;
    // Text of integers is parsed exactly: 2^53 + 1 would become 2^53 through a double.
    EXPECT_EQ(Variant::bstr(u"18446744073709551615").converted(VT_UI8, r).asUInt64(), uint64Max);
    EXPECT_EQ(Variant::bstr(u" 9007199254740993 ").converted(VT_I8, r).asInt64(),
              9007199254740993LL);
    EXPECT_EQ(Variant::bstr(u"-9223372036854775808").converted(VT_I8, r).asInt64(), INT64_MIN);
    EXPECT_EQ(Variant::bstr(u"18446744073709551616").converted(VT_UI8, r).type(), VT_EMPTY);
    EXPECT_EQ(r, ChangeResult::overflow);
    EXPECT_EQ(Variant::ui8(uint64Max).converted(VT_BSTR, r).asString(), u"18446744073709551615");

    // Above INT64_MAX only a UInt64 holds the value.
    EXPECT_EQ(Variant::ui8(uint64Max).converted(VT_I8, r).type(), VT_EMPTY);
    EXPECT_EQ(r, ChangeResult::overflow);
    EXPECT_EQ(Variant::i8(-1).converted(VT_UI8, r).type(), VT_EMPTY);
    EXPECT_EQ(r, ChangeResult::overflow);
    EXPECT_EQ(Variant::i8(INT64_MAX).converted(VT_UI8, r).asUInt64(), uint64_t{INT64_MAX});
    EXPECT_EQ(Variant::i8(70000).converted(VT_I2, r).type(), VT_EMPTY);
    EXPECT_EQ(r, ChangeResult::overflow);

    // Doubles round half to even; 2^63 fits a UInt64, not an Int64.
    EXPECT_EQ(Variant::r8(2.5).converted(VT_I8, r).asInt64(), 2);
    EXPECT_EQ(Variant::r8(9223372036854775808.0).converted(VT_UI8, r).asUInt64(),
              9223372036854775808ull);
    EXPECT_EQ(Variant::r8(9223372036854775808.0).converted(VT_I8, r).type(), VT_EMPTY);
    EXPECT_EQ(Variant::r8(18446744073709551616.0).converted(VT_UI8, r).type(), VT_EMPTY);
    EXPECT_EQ(r, ChangeResult::overflow);

    // VARIANT_TRUE is all ones in every unsigned width.
    EXPECT_EQ(Variant::boolean(true).converted(VT_UI8, r).asUInt64(), uint64Max);
    EXPECT_EQ(Variant::boolean(true).converted(VT_I8, r).asInt64(), -1);
}

TEST(VariantChangeType, DoublesNarrowToFloatsOnlyWhenTheyFit) {
    ChangeResult r;
    EXPECT_EQ(Variant::r8(0.5).converted(VT_R4, r), Variant::r4(0.5f));
    EXPECT_EQ(Variant::r8(1e300).converted(VT_R4, r).type(), VT_EMPTY);
    EXPECT_EQ(r, ChangeResult::overflow);
    EXPECT_EQ(Variant::r8(-HUGE_VAL).converted(VT_R4, r).asFloat(), -HUGE_VALF)
        << "an infinity is a float's value too";
    EXPECT_EQ(Variant::r4(0.1f).converted(VT_R8, r).asDouble(), double{0.1f});
    EXPECT_EQ(Variant::ui8(UINT64_MAX).converted(VT_R8, r).asDouble(), 18446744073709551616.0);
    EXPECT_EQ(Variant::r8(1.25).converted(VT_BSTR, r).asString(), u"1.25");
}
