// How much one read request to a device may cover, and the largest hole between two tags that
// is read along rather than split into two requests. Devices that refuse long reads, or that
// answer an illegal address for an unmapped register in a hole, need smaller values; writes
// keep the protocol's own limits.
#pragma once

#include "RegisterKind.h"

#include <cstdint>

namespace vorn::modbus {

struct ReadLimits {
    static constexpr uint32_t kMaxRegisters = 123; // the protocol's limit per read
    static constexpr uint32_t kMaxBits = 1968;
    static constexpr uint32_t kDefaultHoleRegisters = 25; // 50 bytes
    static constexpr uint32_t kDefaultHoleBits = 400;     // 50 bytes

    uint32_t maxRegisters = kMaxRegisters;
    uint32_t maxBits = kMaxBits;
    uint32_t maxHoleRegisters = kDefaultHoleRegisters; // 0: never read a hole
    uint32_t maxHoleBits = kDefaultHoleBits;

    uint32_t unitsPerRead(uint8_t kind) const { return isBitKind(kind) ? maxBits : maxRegisters; }
    uint32_t maxHole(uint8_t kind) const {
        return isBitKind(kind) ? maxHoleBits : maxHoleRegisters;
    }
    bool operator==(const ReadLimits&) const = default;
};

} // namespace vorn::modbus
