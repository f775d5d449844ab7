#include "ErrorCodes.h"

namespace vorn::modbus {

uint16_t qualityOf(int code) {
    using namespace ErrorCode;
    switch (code) {
    case success:
        return Quality::kGood;
    case sendFailed:
    case receiveFailed:
    case connectionLost:
    case noReply:
    case portUnavailable:
    case socketResources:
    case connectFailed:
    case notConnected:
    case checksumError:
        return Quality::kBadCommFailure;
    case invalidSocketArgument:
    case addressNotAvailable:
    case illegalDataAddress:
    case illegalFunction:
    case illegalDataValue:
    case otherException:
        return Quality::kBadOutOfService;
    case malformedReply:
    case quantityEchoMismatch:
        return Quality::kBadDeviceFailure;
    default:
        return Quality::kBad; // includes badSerialReply (48)
    }
}

} // namespace vorn::modbus
