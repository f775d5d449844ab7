// The store-and-forward buffer: memory first, then its ring file, never more than its size;
// the oldest dropped and counted; what comes out is what went in, in order.
#include "north/mqtt/StoreAndForward.h"

#include "ScratchDir.h"

#include <gtest/gtest.h>

namespace vorn::north::mqtt {
namespace {

ChangeRecord valueRecord(uint32_t n) {
    return {ChangeRecord::Kind::value, n % 1000, 0xC0, 1'700'000'000'000 + n,
            Variant::i4(static_cast<int32_t>(n))};
}

// Pops everything; the numbers the records carry, in order.
std::vector<int64_t> drain(StoreAndForward& buffer) {
    std::vector<int64_t> out;
    while (auto record = buffer.pop())
        out.push_back(record->value.asInt64());
    return out;
}

TEST(StoreAndForward, AFullBufferDropsTheOldestAndCountsThem) {
    test::ScratchDir scratch;
    std::string error;
    StoreAndForward buffer(64 * 1024, scratch.file("spool"), error);
    ASSERT_TRUE(error.empty()) << error;
    const uint32_t pushed = 20000;
    for (uint32_t n = 0; n < pushed; ++n) {
        buffer.push(valueRecord(n));
        ASSERT_LE(buffer.bytes(), buffer.capacity());
    }
    EXPECT_GT(buffer.spool().count(), 0u) << "the file takes what memory cannot";
    const std::vector<int64_t> kept = drain(buffer);
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(kept.back(), pushed - 1) << "the newest are kept";
    for (size_t i = 1; i < kept.size(); ++i)
        ASSERT_EQ(kept[i], kept[i - 1] + 1) << "at " << i;
    EXPECT_EQ(buffer.droppedValues() + kept.size(), pushed);
    EXPECT_EQ(buffer.count(), 0u);
}

TEST(StoreAndForward, SendingWhileChangesArriveKeepsTheirOrderThroughTheFile) {
    test::ScratchDir scratch;
    std::string error;
    StoreAndForward buffer(32 * 1024, scratch.file("spool"), error);
    uint32_t next = 0;
    std::vector<int64_t> out;
    // Fill past the size, then take a few and add more, many times: the ring wraps often.
    for (int round = 0; round < 300; ++round) {
        for (int i = 0; i < 97; ++i)
            buffer.push(valueRecord(next++));
        for (int i = 0; i < 89; ++i)
            if (auto record = buffer.pop())
                out.push_back(record->value.asInt64());
    }
    for (int64_t n : drain(buffer))
        out.push_back(n);
    for (size_t i = 1; i < out.size(); ++i)
        ASSERT_GT(out[i], out[i - 1]) << "at " << i;
    EXPECT_EQ(buffer.droppedValues() + out.size(), next);
}

TEST(StoreAndForward, ReturnedRecordsComeOutFirst) {
    std::string error;
    StoreAndForward buffer(1 << 20, {}, error);
    for (uint32_t n = 10; n < 20; ++n)
        buffer.push(valueRecord(n));
    buffer.returnToFront({valueRecord(7), valueRecord(8), valueRecord(9)});
    const std::vector<int64_t> out = drain(buffer);
    ASSERT_EQ(out.size(), 13u);
    for (size_t i = 0; i < out.size(); ++i)
        EXPECT_EQ(out[i], static_cast<int64_t>(7 + i));
}

TEST(StoreAndForward, ADroppedDeviceEventIsReportedOnce) {
    std::string error;
    StoreAndForward buffer(4096, {}, error);
    buffer.push({ChangeRecord::Kind::deviceDown, 0, 0, 0, Variant()});
    for (uint32_t n = 0; n < 200; ++n)
        buffer.push(valueRecord(n));
    EXPECT_TRUE(buffer.takeDroppedEvent());
    EXPECT_FALSE(buffer.takeDroppedEvent());
}

} // namespace
} // namespace vorn::north::mqtt
