#include "SODaSCache.h"

#include "toolkit/StripedLock.h"

namespace vorn {

std::mutex& SODaSCache::lock() const {
    return stripedLock(this);
}

void SODaSCache::setValueAndQuality(const Variant& value, uint16_t quality) {
    std::lock_guard guard(lock());
    state_.value = value;
    state_.quality = quality;
    state_.timestamp = std::chrono::system_clock::now();
    ++state_.changeCount;
}

void SODaSCache::setQuality(uint16_t quality) {
    std::lock_guard guard(lock());
    if (state_.quality == quality)
        return;
    state_.quality = quality;
    state_.timestamp = std::chrono::system_clock::now();
    ++state_.changeCount;
}

Variant SODaSCache::getValue() const {
    std::lock_guard guard(lock());
    return state_.value;
}

CacheSnapshot SODaSCache::snapshot() const {
    std::lock_guard guard(lock());
    return state_;
}

uint64_t SODaSCache::changeCount() const {
    std::lock_guard guard(lock());
    return state_.changeCount;
}

} // namespace vorn
