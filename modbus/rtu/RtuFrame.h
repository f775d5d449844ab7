// Modbus RTU framing: unit identifier + PDU + CRC, and the checks of a reply frame. Replies are
// judged in a fixed order (length, unit and function, CRC, exception, content) so that each
// fault gives the same error code whatever else is wrong with the frame.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vorn::modbus {

// Bytes an RTU frame adds around a PDU: the unit identifier in front, the CRC behind.
constexpr size_t kRtuFrameOverhead = 3;
// Shortest reply worth checking: an exception reply (unit, function, code, CRC).
constexpr size_t kRtuExceptionReplyBytes = 5;
// Length of a write reply (unit, function, two 16-bit fields, CRC).
constexpr size_t kRtuWriteReplyBytes = 8;

std::vector<uint8_t> rtuFrame(uint8_t unitId, std::span<const uint8_t> pdu);

// Checks common to every reply: 2 for 1 to 4 bytes, 48 for another unit or function, 49 for a
// bad CRC, the exception's code for a 5-byte exception reply (48 for a longer one); -1 when the
// frame is a sound normal answer whose content is still to be checked. An empty reply is the
// caller's business (no answer).
[[nodiscard]] int checkRtuReplyFrame(std::span<const uint8_t> reply,
                                     std::span<const uint8_t> request);

// A read reply: byte count 0 gives 65; it is accepted only when the byte count is the expected
// number of data bytes and the frame is exactly that long (else 48); the data then go to
// `destination`, which must hold them.
[[nodiscard]] int checkRtuReadReply(std::span<const uint8_t> reply,
                                    std::span<const uint8_t> request, uint8_t kind, uint16_t count,
                                    std::span<uint8_t> destination);

// A write-multiple reply echoes start (48 when different) and count (64 when different).
[[nodiscard]] int checkRtuWriteMultipleReply(std::span<const uint8_t> reply,
                                             std::span<const uint8_t> request);

// A write-single reply is the request itself.
[[nodiscard]] int checkRtuWriteSingleReply(std::span<const uint8_t> reply,
                                           std::span<const uint8_t> request);

} // namespace vorn::modbus
