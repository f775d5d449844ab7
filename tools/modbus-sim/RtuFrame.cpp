#include "RtuFrame.h"

#include <modbus/modbus-rtu.h>
#include <modbus/modbus.h>

namespace modbus_sim {

int rtuRequestLength(const std::uint8_t* frame, int available) {
    constexpr int kAddressAndFunction = 2;
    constexpr int kCrc = 2;
    if (available < kAddressAndFunction)
        return 0;
    int fixed = 0;    // bytes after the function code up to the byte count, inclusive
    int countAt = -1; // index of the byte count, when the request has one
    switch (frame[1]) {
    case MODBUS_FC_READ_COILS:
    case MODBUS_FC_READ_DISCRETE_INPUTS:
    case MODBUS_FC_READ_HOLDING_REGISTERS:
    case MODBUS_FC_READ_INPUT_REGISTERS:
    case MODBUS_FC_WRITE_SINGLE_COIL:
    case MODBUS_FC_WRITE_SINGLE_REGISTER:
        fixed = 4;
        break;
    case MODBUS_FC_WRITE_MULTIPLE_COILS:
    case MODBUS_FC_WRITE_MULTIPLE_REGISTERS:
        fixed = 5;
        countAt = kAddressAndFunction + 4;
        break;
    case MODBUS_FC_MASK_WRITE_REGISTER:
        fixed = 6;
        break;
    case MODBUS_FC_WRITE_AND_READ_REGISTERS:
        fixed = 9;
        countAt = kAddressAndFunction + 8;
        break;
    default:
        fixed = 0; // e.g. read exception status, report server ID
        break;
    }
    int length = kAddressAndFunction + fixed + kCrc;
    if (countAt >= 0) {
        if (available <= countAt)
            return 0;
        length += frame[countAt];
    }
    return length <= MODBUS_RTU_MAX_ADU_LENGTH ? length : 0;
}

bool rtuCrcMatches(const std::uint8_t* frame, int length) {
    if (length < 4)
        return false;
    std::uint16_t crc = 0xFFFF;
    for (int i = 0; i < length - 2; ++i) {
        crc ^= frame[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<std::uint16_t>(crc >> 1);
    }
    return frame[length - 2] == (crc & 0xFF) && frame[length - 1] == (crc >> 8);
}

} // namespace modbus_sim
