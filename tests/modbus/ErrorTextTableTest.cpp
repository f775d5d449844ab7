// Error texts beside the server, and the qualities error codes give.
#include "modbus/ErrorTextTable.h"

#include "modbus/ErrorCodes.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

using namespace vorn::modbus;

TEST(ErrorTextTable, LineOfCodeSeparatorAndTextEndedByCrLf) {
    ErrorTextTable table;
    table.parse("0004 No answer\r\n0034 Bad reply\r\n0004 Shadowed\r\n");
    EXPECT_EQ(table.lookup(4), "No answer");
    EXPECT_EQ(table.lookup(0x34), "Bad reply");
    EXPECT_FALSE(table.lookup(5).has_value());
}

TEST(ErrorTextTable, LoadingEndsAtFFFFOrAtTheEndOfTheText) {
    ErrorTextTable table;
    table.parse("0001 One\r\nFFFF end\r\n0002 Two\r\n");
    EXPECT_EQ(table.size(), 1u);
    EXPECT_FALSE(table.lookup(2).has_value());
    ErrorTextTable noEnd;
    noEnd.parse("0001 One\r\n0002 Two");
    EXPECT_EQ(noEnd.lookup(2), "Two");
}

TEST(ErrorTextTable, BadLinesAreSkippedAndLongTextsCut) {
    ErrorTextTable table;
    const std::string longText(100, 'x');
    table.parse("garbage\r\n\r\n00G1 not hex\r\n12\r\n0003\r\n0041:" + longText +
                "\r\n0042 lf only\n" + std::string("0043 zero\0byte\r\n", 16));
    EXPECT_EQ(table.lookup(3), "");
    EXPECT_EQ(table.lookup(0x41)->size(), ErrorTextTable::kMaxTextLength);
    EXPECT_EQ(table.lookup(0x42), "lf only");
    EXPECT_EQ(table.lookup(0x43), std::string("zero\0byte", 9));
    EXPECT_EQ(table.size(), 4u);
}

TEST(ErrorTextTable, FileIsReadOnceAndMissingFileLeavesTableEmpty) {
    ErrorTextTable table;
    EXPECT_FALSE(table.loadOnce("/nonexistent/Tarnvale.dat"));
    EXPECT_EQ(table.size(), 0u);
    EXPECT_FALSE(table.isLoaded());

    char path[] = "/tmp/errortextXXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    std::ofstream(path, std::ios::binary) << "0020 Connect failed\r\nFFFF\r\n";
    EXPECT_TRUE(table.loadOnce(path));
    std::ofstream(path, std::ios::binary) << "0020 Changed\r\n";
    EXPECT_TRUE(table.loadOnce(path));
    EXPECT_EQ(table.lookup(0x20), "Connect failed");
    std::remove(path);
}

TEST(Quality, ErrorCodesGiveTheirTagQualities) {
    EXPECT_EQ(qualityOf(0), vorn::Quality::kGood);
    for (int code : {1, 2, 3, 4, 16, 18, 32, 33, 49})
        EXPECT_EQ(qualityOf(code), 0x18) << code;
    for (int code : {50, 51, 65, 66, 68, 69})
        EXPECT_EQ(qualityOf(code), 0x1C) << code;
    EXPECT_EQ(qualityOf(52), 0x0C);
    EXPECT_EQ(qualityOf(64), 0x0C);
    for (int code : {48, 5, 67, 70, -1, 1000})
        EXPECT_EQ(qualityOf(code), 0x00) << code;
    EXPECT_TRUE(isCommunicationError(63));
    EXPECT_FALSE(isCommunicationError(64));
    EXPECT_FALSE(isCommunicationError(0));
}
