#include "editor/TypeNames.h"

#include <gtest/gtest.h>

using namespace vorn::editor;

namespace {

struct Pair {
    const char* file;
    const char* display;
};

const Pair kKinds[] = {{"INPUTSTATUS", "input status"},
                       {"COIL", "coil"},
                       {"IREGISTER", "input register"},
                       {"HREGISTER", "holding register"}};

const Pair kTypes[] = {
    {"VT_BSTR", "string"},
    {"VT_BOOL", "boolean"},
    {"VT_UI2", "unsigned 16 bit"},
    {"VT_UI4", "unsigned 32 bit"},
    {"VT_I2", "signed 16 bit"},
    {"VT_I4", "signed 32 bit"},
    {"VT_R4", "32 bit float"},
    {"VT_BOOL ARRAY", "boolean array"},
    {"VT_UI1 ARRAY", "unsigned 8 bit array"},
    {"VT_UI2 ARRAY", "unsigned 16 bit array"},
    {"VT_UI4 ARRAY", "unsigned 32 bit array"},
    {"VT_I1 ARRAY", "signed 8 bit array"},
    {"VT_I2 ARRAY", "signed 16 bit array"},
    {"VT_I4 ARRAY", "signed 32 bit array"},
    {"VT_R4 ARRAY", "32 bit float array"},
    {"ARRAY", "array"},
};

} // namespace

TEST(TypeNames, EveryKindAndTypeMapsBothWays) {
    for (const Pair& kind : kKinds) {
        EXPECT_EQ(TypeToFile(kind.display), kind.file);
        EXPECT_EQ(TypeToDisplay(kind.file), kind.display);
        for (const Pair& type : kTypes) {
            const std::string display = std::string(kind.display) + ":" + type.display;
            const std::string file = std::string(kind.file) + " " + type.file;
            EXPECT_EQ(TypeToFile(display), file) << display;
            EXPECT_EQ(TypeToDisplay(file), display) << file;
        }
    }
}

TEST(TypeNames, ExamplesOfTheFileFormat) {
    EXPECT_EQ(TypeToFile("holding register:signed 16 bit"), "HREGISTER VT_I2");
    EXPECT_EQ(TypeToFile("coil:array"), "COIL ARRAY");
    EXPECT_EQ(TypeToDisplay("COIL ARRAY"), "coil:array");
    EXPECT_EQ(TypeToDisplay("INPUTSTATUS ARRAY"), "input status:array");
    EXPECT_EQ(TypeToDisplay("HREGISTER VT_R4 ARRAY"), "holding register:32 bit float array");
}

TEST(TypeNames, TypeWithoutKindIsWrittenWithLeadingBlankAndReadBack) {
    EXPECT_EQ(TypeToFile(":signed 16 bit"), " VT_I2");
    EXPECT_EQ(TypeToDisplay(" VT_I2"), ":signed 16 bit");
    EXPECT_EQ(TypeToDisplay("VT_I2"), ":signed 16 bit");
}

TEST(TypeNames, UnknownPartsGiveNothing) {
    EXPECT_EQ(TypeToFile("holding register:complex"), "HREGISTER");
    EXPECT_EQ(TypeToFile("Holding Register:signed 16 bit"), " VT_I2"); // kinds are exact case
    EXPECT_EQ(TypeToDisplay("HREGISTER VT_X"), "holding register");
    EXPECT_EQ(TypeToDisplay("hregister VT_I2"), "");
    EXPECT_EQ(TypeToDisplay(""), "");
}
