#include "engine/DeviceHealth.h"

#include "engine/LineLoad.h"

#include <gtest/gtest.h>

using namespace vorn::modbus;
using namespace std::chrono_literals;

TEST(DeviceHealth, ReadIntervalPercentilesCoverOnlyTheLatestGaps) {
    DeviceHealth health;
    EXPECT_EQ(health.snapshot().readIntervalP50Ms, 0) << "no block read twice yet";
    // 100 gaps: 1..100 ms.
    for (int ms = 1; ms <= 100; ++ms)
        health.recordReadInterval(ms);
    EXPECT_EQ(health.snapshot().readIntervalP50Ms, 50);
    EXPECT_EQ(health.snapshot().readIntervalP95Ms, 95);
    // A full ring of 1,000 ms gaps pushes the old ones out.
    for (size_t i = 0; i < DeviceHealth::kReadIntervalSamples; ++i)
        health.recordReadInterval(1000);
    EXPECT_EQ(health.snapshot().readIntervalP50Ms, 1000);
    EXPECT_EQ(health.snapshot().readIntervalP95Ms, 1000);
}

TEST(DeviceHealth, ErrorsAreCountedByCodeAndRoundTripsInTheirBuckets) {
    DeviceHealth health;
    const auto now = std::chrono::system_clock::now();
    health.recordSuccess(0.5, now);  // <= 1 ms
    health.recordSuccess(30, now);   // <= 50 ms
    health.recordSuccess(9000, now); // above the last bound
    health.recordFailure(65, "Illegal data address");
    health.recordFailure(65, "Illegal data address");
    health.recordFailure(32, "Connection failed");
    const DeviceHealthSnapshot s = health.snapshot();
    EXPECT_EQ(s.requestCount, 6u);
    EXPECT_EQ(s.errorCount, 3u);
    EXPECT_EQ(s.errorsByCode, (std::map<uint32_t, uint64_t>{{32, 1}, {65, 2}}));
    EXPECT_EQ(s.roundTripCounts[0], 1u);
    EXPECT_EQ(s.roundTripCounts[4], 1u);
    EXPECT_EQ(s.roundTripCounts.back(), 1u);
    EXPECT_DOUBLE_EQ(s.roundTripSumMs, 9030.5);
    EXPECT_FALSE(s.busLoad.has_value()) << "a TCP device has no line";
}

TEST(DeviceHealth, SinceTellsWhenTheDeviceLastChangedBetweenWorkingAndFailing) {
    DeviceHealth health;
    const auto t0 = std::chrono::system_clock::now() - 1h;
    health.recordSuccess(5, t0);
    health.recordSuccess(5, t0 + 1min);
    EXPECT_EQ(health.snapshot().stateSince, t0) << "a working device stays working since t0";
    health.recordFailure(4, "No reply");
    const auto failingSince = health.snapshot().stateSince;
    EXPECT_GT(failingSince, t0 + 1min);
    health.recordFailure(4, "No reply");
    EXPECT_EQ(health.snapshot().stateSince, failingSince);
}

TEST(LineLoad, TheShareIsTheBusyTimeOverTheLastSeconds) {
    LineLoad line;
    const LineLoad::Clock::time_point t0{std::chrono::seconds(1000)};
    EXPECT_EQ(line.share(t0), 0) << "an unused line is idle";
    // Busy 250 ms of every second for 20 s.
    for (int s = 0; s < 20; ++s)
        line.addBusy(t0 + std::chrono::seconds(s), t0 + std::chrono::seconds(s) + 250ms);
    EXPECT_NEAR(line.share(t0 + 20s), 0.25, 0.03);
    // A transaction across a second's boundary counts in both seconds.
    line.addBusy(t0 + 20s + 900ms, t0 + 21s + 900ms);
    EXPECT_NEAR(line.share(t0 + 22s), (8 * 0.25 + 0.1 + 0.9) / 10, 0.01);
    // Ten idle seconds later the old load has left the window.
    EXPECT_EQ(line.share(t0 + 40s), 0);
}

TEST(LineLoad, AShortLifeIsMeasuredFromTheFirstTransaction) {
    LineLoad line;
    const LineLoad::Clock::time_point t0{std::chrono::seconds(500) + 300ms};
    line.addBusy(t0, t0 + 100ms);
    EXPECT_NEAR(line.share(t0 + 200ms), 0.5, 0.01);
}
