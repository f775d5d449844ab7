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

class SODaSCache : public SOCmnObject {
public:
    void setValueAndQuality(const Variant& value, uint16_t quality);
    void setQuality(uint16_t quality);
    // The current value; VT_EMPTY while the cache holds only a quality.
    Variant getValue() const;
    CacheSnapshot snapshot() const;
    uint64_t changeCount() const;

private:
    // Striped (toolkit/StripedLock.h): one cache per tag, held only for a copy.
    std::mutex& lock() const;

    CacheSnapshot state_;
};

} // namespace vorn
