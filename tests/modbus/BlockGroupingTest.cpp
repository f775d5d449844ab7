// Which tags share a block and so one request.
#include "modbus/BlockGrouping.h"

#include "modbus/RegisterKind.h"
#include "modbus/WritePreparation.h"

#include <array>
#include <gtest/gtest.h>

using namespace vorn::modbus;

namespace {
UnitRun hreg(uint32_t start, uint32_t length) {
    return {RegisterKind::kHoldingRegister, start, length};
}
UnitRun coils(uint32_t start, uint32_t length) {
    return {RegisterKind::kCoil, start, length};
}
} // namespace

TEST(BlockGrouping, HoleOfUpTo25RegistersIsReadRatherThanSplit) {
    EXPECT_TRUE(passesJoinTest(hreg(10, 1), hreg(30, 1))); // 19 registers = 38 bytes
    const UnitRun merged = coveringRun(hreg(10, 1), hreg(30, 1));
    EXPECT_EQ(merged.start, 10u);
    EXPECT_EQ(merged.length, 21u);
    EXPECT_FALSE(passesJoinTest(hreg(10, 1), hreg(40, 1))); // 29 registers = 58 bytes
    EXPECT_TRUE(passesJoinTest(hreg(10, 1), hreg(36, 1)));  // 25 registers = 50 bytes
    EXPECT_FALSE(passesJoinTest(hreg(10, 1), hreg(37, 1)));
    EXPECT_TRUE(passesJoinTest(coils(0, 1), coils(401, 1)));  // 400 bits
    EXPECT_FALSE(passesJoinTest(coils(0, 1), coils(409, 1))); // 408 bits = 51 bytes
}

TEST(BlockGrouping, TagInFrontOfTheBlockExtendsItsStart) {
    ASSERT_TRUE(passesJoinTest(hreg(10, 1), hreg(8, 2)));
    const UnitRun merged = coveringRun(hreg(10, 1), hreg(8, 2));
    EXPECT_EQ(merged.start, 8u);
    EXPECT_EQ(merged.length, 3u);
    const UnitRun inside = coveringRun(hreg(10, 20), hreg(15, 2));
    EXPECT_EQ(inside.start, 10u);
    EXPECT_EQ(inside.length, 20u);
}

TEST(BlockGrouping, BlocksStayWithinOneRequest) {
    EXPECT_TRUE(passesJoinTest(hreg(0, 120), hreg(120, 3)));  // 123 registers
    EXPECT_FALSE(passesJoinTest(hreg(0, 120), hreg(120, 4))); // 124 registers
    EXPECT_TRUE(passesJoinTest(coils(0, 1960), coils(1967, 1)));
    EXPECT_FALSE(passesJoinTest(coils(0, 1960), coils(1968, 1)));
}

TEST(BlockGrouping, KindsRatesAndEmptyTagsNeverMix) {
    EXPECT_FALSE(passesJoinTest(hreg(10, 1), {RegisterKind::kInputRegister, 11, 1}));
    EXPECT_FALSE(passesJoinTest(hreg(10, 1), hreg(11, 0)));
    EXPECT_TRUE(mayJoinPollBlock(hreg(10, 1), 1000, hreg(11, 1), 1000));
    EXPECT_FALSE(mayJoinPollBlock(hreg(10, 1), 1000, hreg(11, 1), 250));
}

TEST(BlockGrouping, WriteBlocksJoinOnlyNearNeighbours) {
    EXPECT_TRUE(mayJoinWriteBlock(coils(20, 1), coils(21, 1)));
    EXPECT_TRUE(mayJoinWriteBlock(coils(20, 1), coils(19, 1)));
    EXPECT_FALSE(mayJoinWriteBlock(coils(20, 1), coils(22, 1)));
    EXPECT_TRUE(mayJoinWriteBlock(hreg(10, 2), hreg(12, 1)));  // adjacent
    EXPECT_TRUE(mayJoinWriteBlock(hreg(10, 2), hreg(13, 1)));  // one-register hole
    EXPECT_FALSE(mayJoinWriteBlock(hreg(10, 2), hreg(14, 1))); // two-register hole
    EXPECT_FALSE(mayJoinWriteBlock(hreg(10, 2), hreg(9, 1)));  // before the block
    EXPECT_TRUE(mayJoinWriteBlock(hreg(10, 2), hreg(11, 1)));  // overlapping
    EXPECT_FALSE(mayJoinWriteBlock(hreg(0, 122), hreg(122, 2)));
}

TEST(BlockGrouping, FullBlocksAreClosedEarlierOverTcpThanOverSerial) {
    EXPECT_TRUE(isClosedToJoins(hreg(0, 123), false));
    EXPECT_FALSE(isClosedToJoins(hreg(0, 123), true));
    EXPECT_TRUE(isClosedToJoins(hreg(0, 124), true));
    EXPECT_FALSE(isClosedToJoins(hreg(0, 122), false));
}

TEST(BlockGrouping, BufferCapacityGrowsInSteps) {
    EXPECT_EQ(initialBufferCapacity(RegisterKind::kHoldingRegister, 1), 64u);
    EXPECT_EQ(initialBufferCapacity(RegisterKind::kHoldingRegister, 32), 128u);
    EXPECT_EQ(initialBufferCapacity(RegisterKind::kCoil, 2000), 256u);
    EXPECT_EQ(grownBufferCapacity(RegisterKind::kHoldingRegister, 100), 264u);
}

TEST(WritePreparation, ReadFirstWhenTheWriteWouldTouchUnitsNoValueSets) {
    using vorn::VT_ARRAY;
    const uint8_t hr = RegisterKind::kHoldingRegister;
    const QueuedWrite word{{vorn::VT_I2, 0, 0, 10, hr}, 1};
    const QueuedWrite wordAfterHole{{vorn::VT_I2, 0, 0, 12, hr}, 1};
    const QueuedWrite registerBit{{vorn::VT_BOOL, 0, 3, 11, hr}, 1};
    const QueuedWrite shortArray{{VT_ARRAY | vorn::VT_I2, 10, 0, 10, hr}, 5};
    const QueuedWrite singleCoil{{vorn::VT_BOOL, 0, 0, 20, RegisterKind::kCoil}, 1};
    const QueuedWrite coilArray{{VT_ARRAY | vorn::VT_BOOL, 8, 0, 20, RegisterKind::kCoil}, 8};

    EXPECT_FALSE(needsReadBeforeWrite(hreg(10, 1), std::array{word}, true));
    EXPECT_TRUE(needsReadBeforeWrite(hreg(10, 3), std::array{word, wordAfterHole}, false));
    EXPECT_TRUE(needsReadBeforeWrite(hreg(11, 1), std::array{registerBit}, true));
    EXPECT_TRUE(needsReadBeforeWrite(hreg(10, 10), std::array{shortArray}, false));
    EXPECT_FALSE(needsReadBeforeWrite(coils(20, 1), std::array{singleCoil}, true));
    EXPECT_TRUE(needsReadBeforeWrite(coils(20, 1), std::array{singleCoil}, false));
    EXPECT_FALSE(needsReadBeforeWrite(coils(20, 8), std::array{coilArray}, false));
}
