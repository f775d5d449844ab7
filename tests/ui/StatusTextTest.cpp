#include "modbus/RegisterKind.h"
#include "ui/BlockLabel.h"
#include "ui/DisplayText.h"

#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::ui;

TEST(BlockLabel, StatusWindowNamesBlocksByKindStartAndLength) {
    EXPECT_EQ(blockLabel(modbus::RegisterKind::kInputStatus, 0, 8), "INPUT0-LEN8");
    EXPECT_EQ(blockLabel(modbus::RegisterKind::kInputRegister, 7, 2), "IREG7-LEN2");
    EXPECT_EQ(blockLabel(modbus::RegisterKind::kCoil, 65535, 1), "COIL65535-LEN1");
    EXPECT_EQ(blockLabel(modbus::RegisterKind::kHoldingRegister, 10, 21), "HREG10-LEN21");
}

TEST(DisplayText, FollowsTheValueType) {
    EXPECT_EQ(displayText(Variant::i2(-1), 0), "-1");
    EXPECT_EQ(displayText(Variant::ui2(65535), 0), "65535");
    EXPECT_EQ(displayText(Variant::i4(-70000), 0), "-70000");
    EXPECT_EQ(displayText(Variant::ui4(4000000000u), 0), "4000000000");
    EXPECT_EQ(displayText(Variant::r4(12.5f), 0), "12.500000");
    EXPECT_EQ(displayText(Variant::r4(3.4e38f), 0).size(), 46u);
    EXPECT_EQ(displayText(Variant::bstr(std::u16string(u"AB\0CD", 5)), 9), "AB");
    EXPECT_EQ(displayText(Variant::bstr(u"ABCDE"), 3), "ABC");
    EXPECT_EQ(displayText(Variant::ui1(5), 0), "[..]");
    EXPECT_EQ(displayText(Variant::bstr(u"ABCDE"), 5), "ABCDE");
    EXPECT_EQ(displayText(Variant::i2(8), 0), "8");
    Variant floats = Variant::array(VT_R4, 2);
    EXPECT_EQ(displayText(floats, 0), "[..]");
}

TEST(DisplayText, RegisterBitShowsTrueForItsWeightAndFalseForZero) {
    EXPECT_EQ(displayText(Variant::boolWord(8), 0), "TRUE") << "a register bit of weight 8";
    EXPECT_EQ(displayText(Variant::boolean(false), 0), "FALSE");
}
