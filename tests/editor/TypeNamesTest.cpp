#include "editor/TypeNames.h"

#include <gtest/gtest.h>

using namespace vorn::editor;

TEST(TypeNames, DisplayNamesSurviveARoundTripThroughTheFile) {
    // What the item dialog offers, one of each family, under every kind it is offered for.
    const char* registerKinds[] = {"input register", "holding register"};
    const char* registerTypes[] = {
        "string",       "boolean",       "unsigned 32 bit",   "signed 16 bit",
        "32 bit float", "boolean array", "signed 8 bit array"};
    for (const char* kind : registerKinds)
        for (const char* type : registerTypes) {
            const std::string display = std::string(kind) + ":" + type;
            EXPECT_EQ(TypeToDisplay(TypeToFile(display)), display) << display;
        }
    for (const char* kind : {"input status", "coil"})
        for (const char* type : {"boolean", "boolean array", "array"}) {
            const std::string display = std::string(kind) + ":" + type;
            EXPECT_EQ(TypeToDisplay(TypeToFile(display)), display) << display;
        }
}

TEST(TypeNames, TypeTextIsReadAsTheServersReadIt) {
    // The servers find the first known token anywhere in the text: blanks do not matter, and a
    // "COIL" decides before a numeric type, so such an item is a boolean to them.
    EXPECT_EQ(TypeToDisplay("HREGISTER  VT_I2 ARRAY"), "holding register:signed 16 bit array");
    EXPECT_EQ(TypeToDisplay("HREGISTER VT_I2 "), "holding register:signed 16 bit");
    EXPECT_EQ(TypeToDisplay("COIL VT_UI4"), "coil");
    EXPECT_EQ(TypeToDisplay("HREGISTER ARRAY"), "holding register");
}

TEST(TypeNames, FileTokensOfEachKindAndTypeFamily) {
    EXPECT_EQ(TypeToFile("input status:boolean"), "INPUTSTATUS VT_BOOL");
    EXPECT_EQ(TypeToFile("input register:unsigned 32 bit"), "IREGISTER VT_UI4");
    EXPECT_EQ(TypeToFile("holding register:string"), "HREGISTER VT_BSTR");
    EXPECT_EQ(TypeToFile("holding register:unsigned 8 bit array"), "HREGISTER VT_UI1 ARRAY");
    EXPECT_EQ(TypeToDisplay("IREGISTER VT_I1 ARRAY"), "input register:signed 8 bit array");
    EXPECT_EQ(TypeToDisplay("HREGISTER VT_UI2"), "holding register:unsigned 16 bit");
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
    EXPECT_EQ(TypeToDisplay("hregister VT_I2"), ":signed 16 bit"); // the servers' default kind
    EXPECT_EQ(TypeToDisplay(""), "");
}
