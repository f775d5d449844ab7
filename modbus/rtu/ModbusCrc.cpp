#include "ModbusCrc.h"

namespace vorn::modbus {

uint16_t modbusCrc(std::span<const uint8_t> bytes) {
    uint16_t crc = 0xFFFF;
    for (uint8_t byte : bytes) {
        crc ^= byte;
        for (int shift = 0; shift < 8; ++shift)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

bool hasValidCrc(std::span<const uint8_t> frame) {
    if (frame.size() < 2)
        return false;
    const uint16_t crc = modbusCrc(frame.first(frame.size() - 2));
    return frame[frame.size() - 2] == (crc & 0xFF) && frame[frame.size() - 1] == (crc >> 8);
}

} // namespace vorn::modbus
