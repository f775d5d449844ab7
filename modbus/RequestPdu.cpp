#include "RequestPdu.h"

#include "ModbusProtocol.h"
#include "RegisterKind.h"

namespace vorn::modbus {
namespace {

void appendWord(std::vector<uint8_t>& pdu, uint16_t word) {
    pdu.push_back(static_cast<uint8_t>(word >> 8));
    pdu.push_back(static_cast<uint8_t>(word & 0xFF));
}

bool isValidCount(uint8_t kind, uint16_t start, uint16_t count) {
    return isKnownKind(kind) && count >= 1 && count <= maxUnitsPerRequest(kind) &&
           uint32_t{start} + count <= 0x10000;
}

} // namespace

uint16_t maxUnitsPerRequest(uint8_t kind) {
    return isBitKind(kind) ? kMaxBitsPerRequest : kMaxRegistersPerRequest;
}

std::optional<std::vector<uint8_t>> readRequest(uint8_t functionCode, uint8_t kind, uint16_t start,
                                                uint16_t count) {
    if (!isValidCount(kind, start, count))
        return std::nullopt;
    std::vector<uint8_t> pdu{functionCode};
    appendWord(pdu, start);
    appendWord(pdu, count);
    return pdu;
}

std::optional<std::vector<uint8_t>> writeMultipleRequest(uint8_t functionCode, uint8_t kind,
                                                         uint16_t start, uint16_t count,
                                                         std::span<const uint8_t> data) {
    if (!isValidCount(kind, start, count) || data.size() != unitBytes(kind, count))
        return std::nullopt;
    std::vector<uint8_t> pdu{functionCode};
    appendWord(pdu, start);
    appendWord(pdu, count);
    pdu.push_back(static_cast<uint8_t>(data.size()));
    pdu.insert(pdu.end(), data.begin(), data.end());
    return pdu;
}

std::vector<uint8_t> writeSingleRequest(uint8_t functionCode, uint16_t address,
                                        std::array<uint8_t, 2> value) {
    std::vector<uint8_t> pdu{functionCode};
    appendWord(pdu, address);
    pdu.push_back(value[0]);
    pdu.push_back(value[1]);
    return pdu;
}

} // namespace vorn::modbus
