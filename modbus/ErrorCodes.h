// Communication error codes of the engine and the OPC qualities they give the tags.
// 0 is success, 1..63 are communication errors, 64 and above are answers of the device.
#pragma once

#include "toolkit/Quality.h"

#include <cstdint>

namespace vorn::modbus {

namespace ErrorCode {
constexpr int success = 0;
constexpr int sendFailed = 1;
constexpr int receiveFailed = 2;
constexpr int connectionLost = 3;
constexpr int noReply = 4;
constexpr int portUnavailable = 16; // serial: port cannot be opened, or no device current
constexpr int socketResources = 18; // TCP: sockets exhausted or transport not started
constexpr int connectFailed = 32;   // TCP: connect failed or timed out
constexpr int notConnected = 33;    // TCP: current device has no open connection
constexpr int badSerialReply = 48;  // serial: wrong unit, function code or echo
constexpr int checksumError = 49;   // serial: CRC mismatch
constexpr int invalidSocketArgument = 50;
constexpr int addressNotAvailable = 51;
constexpr int malformedReply = 52;       // TCP: malformed or mismatched reply
constexpr int quantityEchoMismatch = 64; // serial: write reply echoes another quantity
constexpr int illegalDataAddress = 65;   // exception 2 (serial also: read reply of byte count 0)
constexpr int illegalFunction = 66;      // exception 1
constexpr int illegalDataValue = 68;     // exception 3
constexpr int otherException = 69;       // any other exception

constexpr int lastCommunicationError = 63;
} // namespace ErrorCode

// True for codes that mean the device could not be reached (as opposed to a device answer).
constexpr bool isCommunicationError(int code) {
    return code >= 1 && code <= ErrorCode::lastCommunicationError;
}

// Quality a tag gets when a transfer ends with `code`; 0 gives good.
uint16_t qualityOf(int code);

} // namespace vorn::modbus
