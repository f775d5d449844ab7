// When a failing device is tried again: connects back off, a reduced rate holds a device that
// keeps failing to one try every interval, and any answer ends both.
#include "engine/RetrySchedule.h"

#include "modbus/ErrorCodes.h"

#include <gtest/gtest.h>

using namespace vorn::modbus;
using namespace std::chrono_literals;

namespace {

constexpr int kRefused = ErrorCode::kConnectFailed;
constexpr int kNoReply = ErrorCode::kNoReply;

// The pause the schedule asks for after a failure at `now`: the first moment it may try again.
std::chrono::milliseconds pauseAfter(RetrySchedule& retry, int code, bool connecting) {
    const auto now = RetrySchedule::Clock::now();
    retry.failed(code, connecting, now);
    auto pause = 0ms;
    while (!retry.mayTry(now + pause))
        pause += 1ms;
    return pause;
}

} // namespace

TEST(RetrySchedule, RefusedConnectsAreRetriedAtOnceThenAfterGrowingPausesOfAtMostASecond) {
    RetrySchedule retry(RetrySettings{3000});
    std::vector<long> pauses;
    for (int i = 0; i < 8; ++i)
        pauses.push_back(pauseAfter(retry, kRefused, true).count());
    EXPECT_EQ(pauses, (std::vector<long>{0, 100, 200, 400, 800, 1000, 1000, 1000}));
    EXPECT_EQ(retry.lastCode(), kRefused);
    EXPECT_FALSE(retry.reducedRate()) << "off unless the device asks for it";

    retry.succeeded();
    EXPECT_TRUE(retry.mayTry(RetrySchedule::Clock::now()));
    EXPECT_EQ(pauseAfter(retry, kRefused, true), 0ms) << "a success starts the pauses over";

    RetrySchedule quick(RetrySettings{250});
    for (int i = 0; i < 4; ++i)
        (void)pauseAfter(quick, kRefused, true);
    EXPECT_EQ(pauseAfter(quick, kRefused, true), 250ms) << "never longer than the timeout";
}

TEST(RetrySchedule, AFailingReadNeedsNoConnectPause) {
    RetrySchedule retry;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(pauseAfter(retry, kNoReply, false), 0ms)
            << "a device that times out already cost its timeout";
}

TEST(RetrySchedule, AfterNFailuresInARowTheDeviceIsTriedOnlyEveryIntervalUntilItAnswers) {
    RetrySchedule retry(RetrySettings{1000, 3, 10000});
    EXPECT_EQ(pauseAfter(retry, kNoReply, false), 0ms);
    EXPECT_EQ(pauseAfter(retry, kNoReply, false), 0ms);
    EXPECT_FALSE(retry.reducedRate());
    EXPECT_EQ(pauseAfter(retry, kNoReply, false), 10000ms);
    EXPECT_TRUE(retry.reducedRate());
    EXPECT_EQ(pauseAfter(retry, kRefused, true), 10000ms) << "a refused connect counts as well";
    EXPECT_EQ(retry.lastCode(), kRefused) << "skipped transfers get the last failure";
    retry.succeeded();
    EXPECT_FALSE(retry.reducedRate());
    EXPECT_TRUE(retry.mayTry(RetrySchedule::Clock::now()));
}
