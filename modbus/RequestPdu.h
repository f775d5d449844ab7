// Request PDUs (function code and fields, without unit identifier or framing). Each builder
// refuses counts beyond one request's limit and data whose size does not match the count.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vorn::modbus {

// Read `count` units of `kind` from `start` with function code `functionCode`.
std::optional<std::vector<uint8_t>> readRequest(uint8_t functionCode, uint8_t kind, uint16_t start,
                                                uint16_t count);

// Write `count` units of `kind` from `start`; `data` holds exactly unitBytes(kind, count) bytes.
std::optional<std::vector<uint8_t>> writeMultipleRequest(uint8_t functionCode, uint8_t kind,
                                                         uint16_t start, uint16_t count,
                                                         std::span<const uint8_t> data);

// Write one coil or register: the two value bytes are sent as given (FF 00 / 00 00 for coils).
std::vector<uint8_t> writeSingleRequest(uint8_t functionCode, uint16_t address,
                                        std::array<uint8_t, 2> value);

// Largest number of units of `kind` one request may carry (123 registers or 1968 bits).
uint16_t maxUnitsPerRequest(uint8_t kind);

} // namespace vorn::modbus
