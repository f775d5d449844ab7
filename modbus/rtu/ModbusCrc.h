// The CRC-16 that ends every Modbus RTU frame (polynomial 0xA001 reflected, start 0xFFFF),
// sent low byte first.
#pragma once

#include <cstdint>
#include <span>

namespace vorn::modbus {

uint16_t modbusCrc(std::span<const uint8_t> bytes);

// True when the last two bytes are the CRC of the bytes before them (low byte first).
bool hasValidCrc(std::span<const uint8_t> frame);

} // namespace vorn::modbus
