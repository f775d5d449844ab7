#include "server/CommandLine.h"

#include <gtest/gtest.h>

using namespace vorn;

TEST(CommandLine, OneSwitchAfterADashOrSlashInAnyCase) {
    EXPECT_EQ(parseServerSwitch("/regserver"), ServerSwitch::regServer);
    EXPECT_EQ(parseServerSwitch("-RegServer"), ServerSwitch::regServer);
    EXPECT_EQ(parseServerSwitch("-unregserver"), ServerSwitch::unregServer);
    EXPECT_EQ(parseServerSwitch("/Embedding"), ServerSwitch::embedding);
    EXPECT_EQ(parseServerSwitch("-embedded"), ServerSwitch::embedding);
    EXPECT_EQ(parseServerSwitch("-CTT"), ServerSwitch::testTool);
    EXPECT_EQ(parseServerSwitch("-Embedding -ctt"), ServerSwitch::none)
        << "the whole rest of the line is one switch";
    EXPECT_EQ(parseServerSwitch("regserver"), ServerSwitch::none);
    EXPECT_EQ(parseServerSwitch(""), ServerSwitch::none);
    EXPECT_EQ(parseServerSwitch("-"), ServerSwitch::none);

    char program[] = "Tarnvale", first[] = "-Embedding", second[] = "-ctt";
    char* argv[] = {program, first, second};
    EXPECT_EQ(textAfterProgram(3, argv), "-Embedding -ctt");
}
