// The items that keep a tag polled: the first is held inline and the others beside it, which
// must not show in what the list does.
#include "engine/PolledTag.h"

#include <gtest/gtest.h>

using namespace vorn;

TEST(ActiveItems, RemovingOneItemKeepsEveryOtherWhicheverPlaceItHad) {
    modbus::ActiveItems items;
    auto a = makeObject<SODaSItem>();
    auto b = makeObject<SODaSItem>();
    auto c = makeObject<SODaSItem>();
    EXPECT_TRUE(items.isEmpty());
    items.add(a.get());
    items.add(b.get());
    items.add(c.get());
    EXPECT_EQ(items.getCount(), 3u);

    EXPECT_TRUE(items.removeObject(a.get())) << "the first";
    EXPECT_FALSE(items.removeObject(a.get())) << "gone once removed";
    EXPECT_EQ(items.getCount(), 2u);
    EXPECT_TRUE(items.removeObject(c.get())) << "the last";
    EXPECT_TRUE(items.removeObject(b.get())) << "the one that took the first place";
    EXPECT_TRUE(items.isEmpty());
    EXPECT_FALSE(items.removeObject(b.get()));

    // One item listed twice is removed one entry at a time, as a list does.
    items.add(b.get());
    items.add(b.get());
    EXPECT_TRUE(items.removeObject(b.get()));
    EXPECT_EQ(items.getCount(), 1u);
    EXPECT_TRUE(items.removeObject(b.get()));
    EXPECT_TRUE(items.isEmpty());
}
