// Checks of reply PDUs (from the function code on, unit identifier and framing removed).
// Each returns 0 or an error code: the exception codes 65, 66, 68, 69 for an exception reply,
// else `malformedCode` (52 over TCP; a serial transport passes its own) for a reply that does
// not answer the request. No check reads beyond the reply's bytes.
#pragma once

#include "ErrorCodes.h"

#include <cstdint>
#include <span>

namespace vorn::modbus {

// Error code of a Modbus exception code.
[[nodiscard]] int exceptionErrorCode(uint8_t exceptionCode);

// A read reply must carry the request's function code and exactly unitBytes(kind, count) data
// bytes; on success those bytes are copied into `destination`, which must be at least as large.
[[nodiscard]] int checkReadReply(std::span<const uint8_t> reply, uint8_t functionCode, uint8_t kind,
                                 uint16_t count, std::span<uint8_t> destination,
                                 int malformedCode = ErrorCode::kMalformedReply);

// A write reply (single or multiple) must echo the request's first five bytes: function code,
// address and count (multiple) or value (single).
[[nodiscard]] int checkWriteReply(std::span<const uint8_t> reply, std::span<const uint8_t> request,
                                  int malformedCode = ErrorCode::kMalformedReply);

} // namespace vorn::modbus
