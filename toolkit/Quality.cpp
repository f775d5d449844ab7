#include "Quality.h"

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

} // namespace vorn
