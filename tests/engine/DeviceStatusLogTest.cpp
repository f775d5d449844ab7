#include "engine/DeviceStatusLog.h"

#include "engine/DeviceHealth.h"

#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::modbus;
using namespace std::chrono_literals;

namespace {

SOCmnPointer<PlcDevice> named(const std::string& name) {
    auto device = makeObject<PlcDevice>();
    device->name = name;
    return device;
}

const DeviceStatusLog::Clock::time_point kStart = DeviceStatusLog::Clock::from_time_t(1765288987);

} // namespace

TEST(DeviceStatusLog, OneLineWhenADeviceStartsFailingAndOneWhenItRecovers) {
    DeviceStatusLog log;
    auto p1Device = named("P1"), p2Device = named("P2");
    PlcDevice &p1 = *p1Device, &p2 = *p2Device;
    EXPECT_FALSE(log.onSuccess(p2, kStart)) << "a device that never failed says nothing";
    EXPECT_EQ(log.onFailure(p1, 4, "No answer", kStart).value_or(""),
              "P1: communication failed: 4 No answer (since 2025-12-09 14:03:07 UTC)");
    // Failures of P1 and successes of P2 alternate ninety times a second: silence.
    for (int i = 1; i < 90 * 12; ++i) {
        EXPECT_FALSE(log.onFailure(p1, 4, "No answer", kStart + i * 11ms));
        EXPECT_FALSE(log.onSuccess(p2, kStart + i * 11ms));
    }
    EXPECT_EQ(log.onSuccess(p1, kStart + 12s + 400ms).value_or(""),
              "P1: communication restored after 12 s");
    EXPECT_FALSE(log.onSuccess(p1, kStart + 13s));
}

TEST(DeviceStatusLog, AFailureThatLastsIsRemindedOnceAMinuteWithItsCount) {
    DeviceStatusLog log;
    auto p1Device = named("P1");
    PlcDevice& p1 = *p1Device;
    ASSERT_TRUE(log.onFailure(p1, 4, "No answer", kStart));
    int lines = 0;
    std::string reminder;
    for (int second = 1; second <= 150; ++second)
        if (auto line = log.onFailure(p1, 4, "No answer", kStart + second * 1s)) {
            ++lines;
            reminder = reminder.empty() ? *line : reminder;
        }
    EXPECT_EQ(lines, 2) << "at 60 s and 120 s";
    EXPECT_EQ(reminder, "P1: still failing: 4 No answer (60 more failed transfers since "
                        "2025-12-09 14:03:07 UTC)");
}

TEST(DeviceStatusLog, TwoDevicesOfOneNameKeepTheirOwnState) {
    DeviceStatusLog log;
    auto firstDevice = named("P1"), secondDevice = named("P1"), third = named("P1");
    PlcDevice &first = *firstDevice, &second = *secondDevice;
    EXPECT_TRUE(log.onFailure(first, 4, "No answer", kStart));
    EXPECT_TRUE(log.onFailure(second, 4, "No answer", kStart));
    EXPECT_FALSE(log.onSuccess(*third, kStart + 1s));
    EXPECT_TRUE(log.onSuccess(first, kStart + 1s));
    EXPECT_FALSE(log.onFailure(second, 4, "No answer", kStart + 2s)) << "still failing";
}

TEST(DeviceHealth, CountsRequestsErrorsAndAveragesTheRoundTrip) {
    DeviceHealth health;
    EXPECT_FALSE(health.snapshot().connected) << "unknown until a transfer worked";
    health.recordSuccess(10, kStart);
    health.recordSuccess(20, kStart + 1s);
    health.recordFailure(4, "No answer");
    DeviceHealthSnapshot s = health.snapshot();
    EXPECT_FALSE(s.connected);
    EXPECT_EQ(s.requestCount, 3u);
    EXPECT_EQ(s.errorCount, 1u);
    EXPECT_EQ(s.lastErrorCode, 4u);
    EXPECT_EQ(s.lastErrorText, "No answer");
    EXPECT_EQ(s.lastGoodTime, kStart + 1s);
    EXPECT_DOUBLE_EQ(s.roundTripMs, 12.0) << "10, then a fifth of the way to 20";
    health.recordSuccess(12, kStart + 2s);
    EXPECT_TRUE(health.snapshot().connected);
    EXPECT_EQ(health.snapshot().lastErrorCode, 4u) << "the last error stays readable";
}

// A lost connection (3) that then cannot be made again (32): the new code is said at once, so
// the last line names what DeviceHealth shows; codes going back and forth wait for the reminder.
TEST(DeviceStatusLog, AFailureThatChangesItsCodeIsSaidOnceForEachNewCode) {
    DeviceStatusLog log;
    auto p1Device = named("P1");
    PlcDevice& p1 = *p1Device;
    ASSERT_TRUE(log.onFailure(p1, 3, "Connection lost", kStart));
    EXPECT_FALSE(log.onFailure(p1, 3, "Connection lost", kStart + 1s));
    EXPECT_EQ(log.onFailure(p1, 32, "Connection refused or timed out", kStart + 2s).value_or(""),
              "P1: still failing: 32 Connection refused or timed out (2 more failed transfers "
              "since 2025-12-09 14:03:07 UTC)");
    EXPECT_FALSE(log.onFailure(p1, 32, "Connection refused or timed out", kStart + 3s));
    EXPECT_FALSE(log.onFailure(p1, 3, "Connection lost", kStart + 4s)) << "said already";
    EXPECT_FALSE(log.onFailure(p1, 32, "Connection refused or timed out", kStart + 5s));
    ASSERT_TRUE(log.onSuccess(p1, kStart + 6s));
    EXPECT_TRUE(log.onFailure(p1, 3, "Connection lost", kStart + 7s)) << "a new outage";
}
