#include "ErrorCodes.h"

namespace vorn::modbus {

uint16_t qualityOf(int code) {
    using namespace ErrorCode;
    switch (code) {
    case kSuccess:
        return Quality::kGood;
    case kSendFailed:
    case kReceiveFailed:
    case kConnectionLost:
    case kNoReply:
    case kPortUnavailable:
    case kSocketResources:
    case kConnectFailed:
    case kNotConnected:
    case kChecksumError:
        return Quality::kBadCommFailure;
    case kInvalidSocketArgument:
    case kAddressNotAvailable:
    case kIllegalDataAddress:
    case kIllegalFunction:
    case kIllegalDataValue:
    case kOtherException:
        return Quality::kBadOutOfService;
    case kMalformedReply:
    case kQuantityEchoMismatch:
        return Quality::kBadDeviceFailure;
    default:
        return Quality::kBad; // includes kBadSerialReply (48)
    }
}

} // namespace vorn::modbus
