#include "MbapEncoder.h"

#include "modbus/ModbusProtocol.h"

namespace vorn::modbus {

std::optional<std::vector<uint8_t>> MbapEncoder::encode(uint8_t unitId,
                                                        std::span<const uint8_t> pdu) {
    if (pdu.empty() || pdu.size() > kMaxPduBytes)
        return std::nullopt;
    ++lastId_;
    const auto length = static_cast<uint16_t>(pdu.size() + 1); // unit identifier + PDU
    std::vector<uint8_t> frame{static_cast<uint8_t>(lastId_ >> 8),
                               static_cast<uint8_t>(lastId_ & 0xFF),
                               static_cast<uint8_t>(kMbapProtocolId >> 8),
                               static_cast<uint8_t>(kMbapProtocolId & 0xFF),
                               static_cast<uint8_t>(length >> 8),
                               static_cast<uint8_t>(length & 0xFF),
                               unitId};
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    return frame;
}

} // namespace vorn::modbus
