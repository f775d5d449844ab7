#include "platform/Event.h"

#include "platform/Tick.h"

#include <gtest/gtest.h>
#include <thread>

using namespace vorn;

TEST(Event, AutoResetReleasesOneWaitAndManualStaysSet) {
    Event autoEvent(Event::Reset::automatic);
    autoEvent.set();
    EXPECT_TRUE(autoEvent.wait(0));
    EXPECT_FALSE(autoEvent.wait(0)) << "an auto-reset event is taken by one wait";

    Event manual(Event::Reset::manual);
    manual.set();
    EXPECT_TRUE(manual.wait(0));
    EXPECT_TRUE(manual.wait(0));
    manual.reset();
    EXPECT_FALSE(manual.wait(0));
}

TEST(Event, TimedWaitEndsOnTimeAndWakesOnSet) {
    Event event;
    uint32_t start = getTickCount();
    EXPECT_FALSE(event.wait(50));
    EXPECT_GE(ticksSince(start), 45u);

    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        event.set();
    });
    EXPECT_TRUE(event.wait(5000));
    setter.join();
}

TEST(Tick, DifferencesSurviveTheWrap) {
    uint32_t before = 0xFFFFFFF0u;
    uint32_t after = 0x00000010u;
    EXPECT_EQ(after - before, 0x20u);
}
