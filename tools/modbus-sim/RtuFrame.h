// libmodbus serves one unit per RTU context: it reads a whole request frame and then drops it
// (modbus_receive returns 0) when the frame is addressed to another unit, before checking the
// CRC. To serve several units on one line the simulator takes such frames over from there: it
// finds their length from the function code exactly as the framing rules give it, and checks the
// CRC itself. (libmodbus then also takes the next frame on the line for the other unit's answer
// and swallows it; RtuServer reads with a fresh context after such a frame, see there.)
#pragma once

#include <cstdint>

namespace modbus_sim {

// Length of the RTU request frame in `frame` (address, PDU, CRC), from the bytes up to its byte
// count; 0 when `available` bytes are too few to tell or the length exceeds the RTU maximum.
int rtuRequestLength(const std::uint8_t* frame, int available);

bool rtuCrcMatches(const std::uint8_t* frame, int length);

} // namespace modbus_sim
