// Communication error codes of the engine and the OPC qualities they give the tags.
// 0 is success, 1..63 are communication errors, 64 and above are answers of the device.
#pragma once

#include "toolkit/Quality.h"

#include <cstdint>

namespace vorn::modbus {

namespace ErrorCode {
constexpr int kSuccess = 0;
constexpr int kSendFailed = 1;
constexpr int kReceiveFailed = 2;
constexpr int kConnectionLost = 3;
constexpr int kNoReply = 4;
constexpr int kPortUnavailable = 16; // serial: port cannot be opened, or no device current
constexpr int kSocketResources = 18; // TCP: sockets exhausted or transport not started
constexpr int kConnectFailed = 32;   // TCP: connect failed or timed out
constexpr int kNotConnected = 33;    // TCP: current device has no open connection
constexpr int kBadSerialReply = 48;  // serial: wrong unit, function code or echo
constexpr int kChecksumError = 49;   // serial: CRC mismatch
constexpr int kInvalidSocketArgument = 50;
constexpr int kAddressNotAvailable = 51;
constexpr int kMalformedReply = 52;       // TCP: malformed or mismatched reply
constexpr int kQuantityEchoMismatch = 64; // serial: write reply echoes another quantity
constexpr int kIllegalDataAddress = 65;   // exception 2 (serial also: read reply of byte count 0)
constexpr int kIllegalFunction = 66;      // exception 1
constexpr int kIllegalDataValue = 68;     // exception 3
constexpr int kOtherException = 69;       // any other exception

constexpr int kLastCommunicationError = 63;
} // namespace ErrorCode

// True for codes that mean the device could not be reached (as opposed to a device answer).
constexpr bool isCommunicationError(int code) {
    return code >= 1 && code <= ErrorCode::kLastCommunicationError;
}

// Quality a tag gets when a transfer ends with `code`; 0 gives good.
uint16_t qualityOf(int code);

} // namespace vorn::modbus
