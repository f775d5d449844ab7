#include "SODaSCache.h"

#include "toolkit/StripedLock.h"

#include <atomic>
#include <shared_mutex>

namespace vorn {
namespace {

// Read by every cache change: without a listener a change costs one atomic load only.
std::atomic<SODaSCacheListener*> theListener{nullptr};
// Held shared while a listener is called, exclusively while it is replaced.
std::shared_mutex listenerInUse;

} // namespace

void SODaSCache::setListener(SODaSCacheListener* listener) {
    std::unique_lock replacing(listenerInUse);
    theListener.store(listener);
}

void SODaSCache::tellListener(const CacheSnapshot& state) const {
    if (!theListener.load(std::memory_order_relaxed))
        return;
    std::shared_lock calling(listenerInUse);
    if (SODaSCacheListener* listener = theListener.load())
        listener->cacheChanged(*this, state);
}

std::mutex& SODaSCache::lock() const {
    return stripedLock(this);
}

template <class Change> void SODaSCache::update(Change&& change) {
    CacheSnapshot now;
    {
        std::lock_guard guard(lock());
        if (!change(state_))
            return;
        state_.timestamp = std::chrono::system_clock::now();
        ++state_.changeCount;
        if (!theListener.load(std::memory_order_relaxed))
            return;
        now = state_;
    }
    tellListener(now);
}

void SODaSCache::setValueAndQuality(const Variant& value, uint16_t quality) {
    update([&](CacheSnapshot& state) {
        state.value = value;
        state.quality = quality;
        return true;
    });
}

void SODaSCache::setQuality(uint16_t quality) {
    update([&](CacheSnapshot& state) {
        if (state.quality == quality)
            return false;
        state.quality = quality;
        return true;
    });
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
