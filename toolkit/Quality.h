// OPC DA qualities by name, shared by the toolkit, the engine and the client fronts.
#pragma once

#include <cstdint>

namespace vorn {

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
constexpr bool isGood(uint16_t q) {
    return (q & 0xC0) == 0xC0;
}
constexpr bool isUncertain(uint16_t q) {
    return (q & 0xC0) == 0x40;
}
} // namespace Quality

// Human text for a quality, e.g. "Good" or "Bad: communication failure".
const char* qualityText(uint16_t quality);

} // namespace vorn
