#include "ErrorCodes.h"

namespace vorn::modbus {

uint16_t qualityOf(int code) {
    using namespace ErrorCode;
    switch (code) {
    case success:
        return Quality::good;
    case sendFailed:
    case receiveFailed:
    case connectionLost:
    case noReply:
    case portUnavailable:
    case socketResources:
    case connectFailed:
    case notConnected:
    case checksumError:
        return Quality::communicationFailure;
    case invalidSocketArgument:
    case addressNotAvailable:
    case illegalDataAddress:
    case illegalFunction:
    case illegalDataValue:
    case otherException:
        return Quality::outOfService;
    case malformedReply:
    case quantityEchoMismatch:
        return Quality::deviceFailure;
    default:
        return Quality::bad; // includes badSerialReply (48)
    }
}

} // namespace vorn::modbus
