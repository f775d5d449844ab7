#include "RetrySchedule.h"

#include <algorithm>

namespace vorn::modbus {

void RetrySchedule::failed(int code, bool connecting, Clock::time_point now) {
    lastCode_ = code;
    ++failuresInARow_;
    uint32_t pauseMs = 0;
    if (connecting) {
        // The first retry goes at once: a connection the device dropped is often taken again.
        if (++connectFailuresInARow_ > 1) {
            const uint32_t longest =
                std::clamp(settings_.timeoutMs, kFirstConnectPauseMs, kLongestConnectPauseMs);
            const uint32_t doublings = std::min<uint32_t>(connectFailuresInARow_ - 2, 16);
            pauseMs = std::min(longest, kFirstConnectPauseMs << doublings);
        }
    } else {
        connectFailuresInARow_ = 0;
    }
    if (reducedRate())
        pauseMs = std::max(pauseMs, settings_.reducedIntervalMs);
    notBefore_ = now + std::chrono::milliseconds(pauseMs);
}

void RetrySchedule::succeeded() {
    failuresInARow_ = 0;
    connectFailuresInARow_ = 0;
    lastCode_ = 0;
    notBefore_ = {};
}

bool RetrySchedule::reducedRate() const {
    return settings_.reducedAfter != 0 && failuresInARow_ >= settings_.reducedAfter;
}

} // namespace vorn::modbus
