// The value cache of a tag: value, OPC quality and timestamp, written by the communication
// thread and read by clients. Every change bumps a counter that subscriptions compare.
#pragma once

#include "platform/Variant.h"
#include "toolkit/Quality.h"
#include "toolkit/SOCmnObject.h"

#include <chrono>
#include <cstdint>
#include <mutex>

namespace vorn {

struct CacheSnapshot {
    Variant value;
    uint16_t quality = Quality::kUncertain;
    std::chrono::system_clock::time_point timestamp;
    uint64_t changeCount = 0;
};

class SODaSCache;

// Hears every value and quality a cache takes, on the thread that sets it (the engine's), after
// the cache's lock is let go: for a client front that must pass on each change, not only the
// latest one a later look would find. It must copy what it needs and return at once.
class SODaSCacheListener {
public:
    virtual ~SODaSCacheListener() = default;
    virtual void cacheChanged(const SODaSCache& cache, const CacheSnapshot& state) = 0;
};

class SODaSCache : public SOCmnObject {
public:
    // The process's one listener (null: none). Setting another waits until no cache is still
    // calling the one before, so that it may be destroyed afterwards.
    static void setListener(SODaSCacheListener* listener);

    void setValueAndQuality(const Variant& value, uint16_t quality);
    void setQuality(uint16_t quality);
    // The current value; VT_EMPTY while the cache holds only a quality.
    Variant getValue() const;
    CacheSnapshot snapshot() const;
    uint64_t changeCount() const;

private:
    // Striped (toolkit/StripedLock.h): one cache per tag, held only for a copy.
    std::mutex& lock() const;
    // Applies `change` (false: nothing changed) under the lock; a change is stamped, counted
    // and told to the listener.
    template <class Change> void update(Change&& change);
    // Tells the listener, if there is one, what the cache now holds.
    void tellListener(const CacheSnapshot& state) const;

    CacheSnapshot state_;
};

} // namespace vorn
