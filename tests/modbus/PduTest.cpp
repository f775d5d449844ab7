// Request PDUs, reply checks, request splitting, function codes and unit counts.
#include "modbus/ModbusTypeTable.h"
#include "modbus/RegisterKind.h"
#include "modbus/ReplyPdu.h"
#include "modbus/RequestPdu.h"
#include "modbus/RequestSplit.h"
#include "modbus/TagShape.h"

#include <gtest/gtest.h>
#include <vector>

using namespace vorn;
using namespace vorn::modbus;
using Bytes = std::vector<uint8_t>;

TEST(RequestPdu, ReadAndWriteRequestsCarryBigEndianFields) {
    EXPECT_EQ(readRequest(3, RegisterKind::kHoldingRegister, 100, 10), (Bytes{3, 0, 100, 0, 10}));
    EXPECT_EQ(writeSingleRequest(5, 0x1234, {0xFF, 0x00}), (Bytes{5, 0x12, 0x34, 0xFF, 0x00}));
    const Bytes data{0xFF, 0x03};
    EXPECT_EQ(writeMultipleRequest(15, RegisterKind::kCoil, 7, 10, data),
              (Bytes{15, 0, 7, 0, 10, 2, 0xFF, 0x03}));
}

TEST(RequestPdu, CountsBeyondOneRequestOrMismatchedDataAreRefused) {
    EXPECT_TRUE(readRequest(3, RegisterKind::kHoldingRegister, 0, 123));
    EXPECT_FALSE(readRequest(3, RegisterKind::kHoldingRegister, 0, 124));
    EXPECT_TRUE(readRequest(1, RegisterKind::kCoil, 0, 1968));
    EXPECT_FALSE(readRequest(1, RegisterKind::kCoil, 0, 1969));
    EXPECT_FALSE(readRequest(3, RegisterKind::kHoldingRegister, 0, 0));
    EXPECT_FALSE(readRequest(3, RegisterKind::kHoldingRegister, 65530, 10)); // past 65535
    EXPECT_FALSE(readRequest(3, 7, 0, 1));
    const Bytes three(3);
    EXPECT_FALSE(writeMultipleRequest(16, RegisterKind::kHoldingRegister, 0, 2, three));
    EXPECT_FALSE(writeMultipleRequest(15, RegisterKind::kCoil, 0, 8, three));
}

TEST(ReplyPdu, ReadReplyDeliversExactlyTheExpectedBytes) {
    Bytes destination(4, 0xEE);
    EXPECT_EQ(
        checkReadReply(Bytes{3, 4, 1, 2, 3, 4}, 3, RegisterKind::kHoldingRegister, 2, destination),
        0);
    EXPECT_EQ(destination, (Bytes{1, 2, 3, 4}));
    Bytes bits(2);
    EXPECT_EQ(checkReadReply(Bytes{1, 2, 0xFF, 0x03}, 1, RegisterKind::kCoil, 10, bits), 0);
    EXPECT_EQ(bits, (Bytes{0xFF, 0x03}));
}

TEST(ReplyPdu, ExceptionRepliesMapToDeviceAnswerCodes) {
    Bytes destination(4);
    EXPECT_EQ(checkReadReply(Bytes{0x83, 1}, 3, RegisterKind::kHoldingRegister, 2, destination),
              66);
    EXPECT_EQ(checkReadReply(Bytes{0x83, 2}, 3, RegisterKind::kHoldingRegister, 2, destination),
              65);
    EXPECT_EQ(checkReadReply(Bytes{0x83, 3}, 3, RegisterKind::kHoldingRegister, 2, destination),
              68);
    EXPECT_EQ(checkReadReply(Bytes{0x83, 4}, 3, RegisterKind::kHoldingRegister, 2, destination),
              69);
    EXPECT_EQ(checkWriteReply(Bytes{0x90, 2}, Bytes{16, 0, 1, 0, 1, 2, 0, 0}), 65);
    EXPECT_EQ(checkReadReply(Bytes{0x84, 2}, 3, RegisterKind::kHoldingRegister, 2, destination), 52)
        << "an exception for another function is not an answer";
    EXPECT_EQ(checkReadReply(Bytes{0x83}, 3, RegisterKind::kHoldingRegister, 2, destination), 52);
    EXPECT_EQ(destination, Bytes(4, 0)) << "an exception reply delivers no data";
}

TEST(ReplyPdu, EveryWrongLengthOfAReadReplyIsMalformed) {
    Bytes hostile(300, 0x04);
    hostile[0] = 3;
    hostile[1] = 4;
    for (size_t length = 0; length <= hostile.size(); ++length) {
        Bytes destination(4, 0xEE);
        const int code = checkReadReply(std::span(hostile).first(length), 3,
                                        RegisterKind::kHoldingRegister, 2, destination, 48);
        EXPECT_EQ(code, length == 6 ? ErrorCode::kSuccess : ErrorCode::kBadSerialReply)
            << "reply of " << length << " bytes";
        if (length != 6) {
            EXPECT_EQ(destination, Bytes(4, 0xEE));
        }
    }
    Bytes echo(300, 0);
    echo[0] = 6;
    for (size_t length = 0; length <= echo.size(); ++length)
        EXPECT_EQ(checkWriteReply(std::span(echo).first(length), Bytes{6, 0, 0, 0, 0}),
                  length == 5 ? 0 : 52)
            << "write reply of " << length << " bytes";
    Bytes small(3);
    EXPECT_EQ(checkReadReply(Bytes{3, 4, 1, 2, 3, 4}, 3, RegisterKind::kHoldingRegister, 2, small),
              52);
    Bytes destination(4);
    EXPECT_EQ(
        checkReadReply(Bytes{3, 2, 1, 2, 3, 4}, 3, RegisterKind::kHoldingRegister, 2, destination),
        52)
        << "byte count disagrees with the count asked for";
}

TEST(ReplyPdu, WriteReplyMustEchoTheRequest) {
    const Bytes request{16, 0, 10, 0, 2, 4, 1, 2, 3, 4};
    EXPECT_EQ(checkWriteReply(Bytes{16, 0, 10, 0, 2}, request), 0);
    EXPECT_EQ(checkWriteReply(Bytes{16, 0, 11, 0, 2}, request), 52);
    EXPECT_EQ(checkWriteReply(Bytes{6, 0, 10, 0, 2}, request), 52);
    EXPECT_EQ(checkWriteReply(Bytes{16, 0, 10, 0}, request), 52);
    EXPECT_EQ(checkWriteReply(Bytes{16, 0, 10, 0, 2, 0}, request), 52);
    EXPECT_EQ(checkWriteReply(Bytes{}, request), 52);
    EXPECT_EQ(checkWriteReply(Bytes{5, 0, 3, 0xFF, 0}, Bytes{5, 0, 3, 0xFF, 0}), 0);
}

TEST(RequestSplit, LargeArraysAreReadInConsecutiveRequests) {
    const auto registers = splitIntoRequests(RegisterKind::kHoldingRegister, 1000, 200);
    ASSERT_EQ(registers.size(), 2u);
    EXPECT_EQ(registers[0].start, 1000);
    EXPECT_EQ(registers[0].count, 123);
    EXPECT_EQ(registers[1].start, 1123);
    EXPECT_EQ(registers[1].count, 77);
    EXPECT_EQ(registers[1].byteOffset, 246u);

    const auto coils = splitIntoRequests(RegisterKind::kCoil, 0, 2000);
    ASSERT_EQ(coils.size(), 2u);
    EXPECT_EQ(coils[0].count, 1968);
    EXPECT_EQ(coils[1].start, 1968);
    EXPECT_EQ(coils[1].count, 32);
    EXPECT_EQ(coils[1].byteOffset, 246u);

    EXPECT_EQ(splitIntoRequests(RegisterKind::kInputRegister, 5, 123).size(), 1u);
    EXPECT_TRUE(splitIntoRequests(RegisterKind::kInputRegister, 5, 0).empty());
    EXPECT_TRUE(splitIntoRequests(RegisterKind::kInputRegister, 65500, 100).empty());
    EXPECT_EQ(splitIntoRequests(RegisterKind::kInputRegister, 65436, 100).size(), 1u);
}

TEST(ModbusTypeTable, LaterRowForAKindWinsAndDefaultsFillTheRest) {
    ModbusTypeTable table;
    EXPECT_EQ(table.lookup(RegisterKind::kCoil).read, 1) << "each table has its standard codes";
    EXPECT_EQ(table.lookup(RegisterKind::kCoil).write, 15);
    EXPECT_EQ(table.lookup(RegisterKind::kCoil).singleWrite, 0);
    EXPECT_EQ(table.readCode(RegisterKind::kInputStatus), 2);
    EXPECT_EQ(table.readCode(RegisterKind::kHoldingRegister), 3);
    EXPECT_EQ(table.writeCode(RegisterKind::kHoldingRegister), 16);
    EXPECT_EQ(table.readCode(RegisterKind::kInputRegister), 4);
    table.setCapacity(2);
    table.addRow(RegisterKind::kCoil, 1, 15, 5);
    table.addRow(RegisterKind::kInputStatus, 2, 0, 0);
    table.addRow(RegisterKind::kCoil, 1, 15, 0); // beyond the announced capacity: still kept
    EXPECT_EQ(table.rowCount(), 3u);
    EXPECT_EQ(table.singleWriteCode(RegisterKind::kCoil), 0);
    EXPECT_EQ(table.readCode(RegisterKind::kInputStatus), 2);
    EXPECT_EQ(table.writeCode(RegisterKind::kHoldingRegister), 16);
    table.setCapacity(0);
    EXPECT_EQ(table.rowCount(), 0u);
    EXPECT_EQ(table.readCode(RegisterKind::kInputRegister), 4);
}

TEST(UnitCount, EachTypeOccupiesItsRegistersOrBits) {
    const uint8_t hreg = RegisterKind::kHoldingRegister;
    EXPECT_EQ(unitCount({VT_BOOL, 0, 9, 0, hreg}), 1u);
    EXPECT_EQ(unitCount({VT_R4, 0, 0, 0, hreg}), 2u);
    EXPECT_EQ(unitCount({VT_BSTR, 5, 0, 0, hreg}), 3u);
    EXPECT_EQ(unitCount({VT_ARRAY | VT_UI1, 4, 0, 0, hreg}), 2u);
    EXPECT_EQ(unitCount({VT_ARRAY | VT_UI2, 7, 0, 0, hreg}), 7u);
    EXPECT_EQ(unitCount({VT_ARRAY | VT_I4, 7, 0, 0, hreg}), 14u);
    EXPECT_EQ(unitCount({VT_ARRAY | VT_BOOL, 4, 14, 0, hreg}), 2u);
    EXPECT_EQ(unitCount({VT_ARRAY | VT_BOOL, 2, 14, 0, hreg}), 1u);
    EXPECT_EQ(unitCount({VT_EMPTY, 0, 0, 0, hreg}), 0u);
    EXPECT_EQ(unitCount({VT_R4, 0, 0, 0, RegisterKind::kCoil}), 1u);
    EXPECT_EQ(unitCount({VT_ARRAY | VT_BOOL, 2000, 0, 0, RegisterKind::kCoil}), 2000u);
    EXPECT_EQ(unitCount({VT_I2, 0, 0, 0, 9}), 0u);
}
