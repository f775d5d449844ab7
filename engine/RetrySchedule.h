// When a failing device may be tried again. A refused or failed connect is retried at once,
// then after growing pauses (100, 200, 400, 800 ms, then at most 1 s or the device's timeout if
// that is shorter), so that a device coming back is not flooded with connects. With a reduced
// rate set, a device whose last N transfers failed is tried only every T until one works.
// Between tries the engine sends the device nothing and answers its tags at once with the last
// failure. Communication thread only; the health state shows reducedRate().
#pragma once

#include <chrono>
#include <cstdint>

namespace vorn::modbus {

struct RetrySettings {
    uint32_t timeoutMs = 1000;
    uint32_t reducedAfter = 0; // failed transfers in a row; 0: never a reduced rate
    uint32_t reducedIntervalMs = 0;
};

class RetrySchedule {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr uint32_t kFirstConnectPauseMs = 100;
    static constexpr uint32_t kLongestConnectPauseMs = 1000;

    explicit RetrySchedule(RetrySettings settings = {}) : settings_(settings) {}

    // Whether the device may be contacted at `now`.
    bool mayTry(Clock::time_point now) const { return now >= notBefore_; }
    // A transfer failed with a communication error; `connecting`: its connect failed.
    void failed(int code, bool connecting, Clock::time_point now);
    // A transfer worked: the device is tried as usual again.
    void succeeded();
    // The code of the last failure, which the skipped transfers get.
    int lastCode() const { return lastCode_; }
    bool reducedRate() const;

private:
    RetrySettings settings_;
    uint32_t failuresInARow_ = 0;
    uint32_t connectFailuresInARow_ = 0;
    int lastCode_ = 0;
    Clock::time_point notBefore_{};
};

} // namespace vorn::modbus
