// Modbus TCP request frames: the application header (transaction, protocol, length, unit) in
// front of a PDU. Each frame gets the next transaction identifier, so that a late reply to an
// earlier request can be told apart from the answer to the current one.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vorn::modbus {

class MbapEncoder {
public:
    // The frame for `pdu` to unit `unitId`; nullopt for an empty PDU or one beyond 253 bytes.
    std::optional<std::vector<uint8_t>> encode(uint8_t unitId, std::span<const uint8_t> pdu);

    // Identifier carried by the last frame encoded (0 before the first).
    uint16_t lastTransactionId() const { return lastId_; }

private:
    uint16_t lastId_ = 0; // wraps from 65535 to 0
};

} // namespace vorn::modbus
