// The value cache of a tag: value, OPC quality and timestamp, written by the communication
// thread and read by clients. Every change bumps a counter that subscriptions compare.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

#include "platform/Variant.h"
#include "toolkit/SOCmnObject.h"

namespace vorn {

// OPC qualities the toolkit knows by name.
namespace Quality {
constexpr uint16_t kBad = 0x00;
constexpr uint16_t kBadConfigError = 0x04;
constexpr uint16_t kBadNotConnected = 0x08;
constexpr uint16_t kBadDeviceFailure = 0x0C;
constexpr uint16_t kBadSensorFailure = 0x10;
constexpr uint16_t kBadLastKnown = 0x14;
constexpr uint16_t kBadCommFailure = 0x18;
constexpr uint16_t kBadOutOfService = 0x1C;
constexpr uint16_t kUncertain = 0x40;
constexpr uint16_t kGood = 0xC0;
constexpr bool isGood(uint16_t q) { return (q & 0xC0) == 0xC0; }
constexpr bool isUncertain(uint16_t q) { return (q & 0xC0) == 0x40; }
} // namespace Quality

// Human text for a quality, e.g. "Good" or "Bad: communication failure".
const char* qualityText(uint16_t quality);

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
    mutable std::mutex mutex_;
    CacheSnapshot state_;
};

} // namespace vorn
