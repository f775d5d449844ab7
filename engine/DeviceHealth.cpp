#include "DeviceHealth.h"

#include <algorithm>
#include <cmath>

namespace vorn::modbus {

void DeviceHealth::recordSuccess(double roundTripMs, std::chrono::system_clock::time_point now) {
    std::lock_guard lock(mutex_);
    ++state_.requestCount;
    if (!state_.connected || state_.stateSince == std::chrono::system_clock::time_point{})
        state_.stateSince = now;
    state_.connected = true;
    const auto bucket =
        std::lower_bound(kRoundTripBucketsMs.begin(), kRoundTripBucketsMs.end(), roundTripMs) -
        kRoundTripBucketsMs.begin();
    ++state_.roundTripCounts[static_cast<size_t>(bucket)];
    state_.roundTripSumMs += roundTripMs;
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
    ++state_.errorsByCode[code];
    if (state_.connected || state_.stateSince == std::chrono::system_clock::time_point{})
        state_.stateSince = std::chrono::system_clock::now();
    state_.connected = false;
    state_.lastErrorCode = code;
    state_.lastErrorText = text;
}

void DeviceHealth::setReducedRate(bool reduced) {
    std::lock_guard lock(mutex_);
    state_.reducedRate = reduced;
}

void DeviceHealth::setSplitBlocks(uint32_t count) {
    std::lock_guard lock(mutex_);
    state_.splitBlocks = count;
}

void DeviceHealth::setActiveAddress(const std::string& endpoint) {
    std::lock_guard lock(mutex_);
    state_.activeAddress = endpoint;
}

namespace {

// The nearest-rank percentile `p` (0 to 100) of values sorted ascending.
double percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty())
        return 0;
    const auto rank =
        static_cast<size_t>(std::ceil(p / 100.0 * static_cast<double>(sorted.size())));
    return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
}

} // namespace

void DeviceHealth::recordReadInterval(double intervalMs) {
    std::lock_guard lock(mutex_);
    if (intervals_.size() < kReadIntervalSamples)
        intervals_.push_back(intervalMs);
    else
        intervals_[nextInterval_] = intervalMs;
    nextInterval_ = (nextInterval_ + 1) % kReadIntervalSamples;
}

DeviceHealthSnapshot DeviceHealth::snapshot() const {
    std::vector<double> intervals;
    DeviceHealthSnapshot result;
    {
        std::lock_guard lock(mutex_);
        result = state_;
        intervals = intervals_;
    }
    // Sorted outside the lock: the communication thread never waits for a reader's sort.
    std::sort(intervals.begin(), intervals.end());
    result.readIntervalP50Ms = percentile(intervals, 50);
    result.readIntervalP95Ms = percentile(intervals, 95);
    if (line_)
        result.busLoad = line_->share(LineLoad::Clock::now());
    return result;
}

} // namespace vorn::modbus
