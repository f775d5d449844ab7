#include "SODaSCache.h"

namespace vorn {

const char* qualityText(uint16_t quality) {
    switch (quality & 0xFC) {
    case Quality::kGood:
        return "Good";
    case Quality::kUncertain:
        return "Uncertain";
    case Quality::kBad:
        return "Bad";
    case Quality::kBadConfigError:
        return "Bad: configuration error";
    case Quality::kBadNotConnected:
        return "Bad: not connected";
    case Quality::kBadDeviceFailure:
        return "Bad: device failure";
    case Quality::kBadSensorFailure:
        return "Bad: sensor failure";
    case Quality::kBadLastKnown:
        return "Bad: last known value";
    case Quality::kBadCommFailure:
        return "Bad: communication failure";
    case Quality::kBadOutOfService:
        return "Bad: out of service";
    default:
        if (Quality::isGood(quality))
            return "Good";
        if (Quality::isUncertain(quality))
            return "Uncertain";
        return "Bad";
    }
}

void SODaSCache::setValueAndQuality(const Variant& value, uint16_t quality) {
    std::lock_guard lock(mutex_);
    state_.value = value;
    state_.quality = quality;
    state_.timestamp = std::chrono::system_clock::now();
    ++state_.changeCount;
}

void SODaSCache::setQuality(uint16_t quality) {
    std::lock_guard lock(mutex_);
    if (state_.quality == quality)
        return;
    state_.quality = quality;
    state_.timestamp = std::chrono::system_clock::now();
    ++state_.changeCount;
}

Variant SODaSCache::getValue() const {
    std::lock_guard lock(mutex_);
    return state_.value;
}

CacheSnapshot SODaSCache::snapshot() const {
    std::lock_guard lock(mutex_);
    return state_;
}

uint64_t SODaSCache::changeCount() const {
    std::lock_guard lock(mutex_);
    return state_.changeCount;
}

} // namespace vorn
