#include "DeviceHealth.h"

namespace vorn::modbus {

void DeviceHealth::recordSuccess(double roundTripMs, std::chrono::system_clock::time_point now) {
    std::lock_guard lock(mutex_);
    ++state_.requestCount;
    state_.connected = true;
    state_.lastGoodTime = now;
    state_.roundTripMs =
        state_.roundTripMs == 0
            ? roundTripMs
            : state_.roundTripMs + kRoundTripWeight * (roundTripMs - state_.roundTripMs);
}

void DeviceHealth::recordFailure(uint32_t code, const std::string& text) {
    std::lock_guard lock(mutex_);
    ++state_.requestCount;
    ++state_.errorCount;
    state_.connected = false;
    state_.lastErrorCode = code;
    state_.lastErrorText = text;
}

DeviceHealthSnapshot DeviceHealth::snapshot() const {
    std::lock_guard lock(mutex_);
    return state_;
}

} // namespace vorn::modbus
