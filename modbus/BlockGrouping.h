// Whether a tag may join a block of neighbouring units, so that one request serves both.
// Ranges are in units of the block's kind; 32-bit so that sums never wrap.
#pragma once

#include "ReadLimits.h"

#include <cstddef>
#include <cstdint>

namespace vorn::modbus {

struct UnitRun {
    uint8_t kind = 0;
    uint32_t start = 0;
    uint32_t length = 0;
};

// The join test of poll blocks and device-read blocks: same kind, a hole of at most the
// device's largest hole between them (by default 25 registers or 400 bits, 50 bytes), and the
// covering range within one read of the device (by default 123 registers or 1968 bits, 246
// bytes). A tag of 0 units never joins.
bool passesJoinTest(const UnitRun& block, const UnitRun& tag, const ReadLimits& limits = {});

// Poll blocks also need the same update rate.
bool mayJoinPollBlock(const UnitRun& block, uint32_t blockRate, const UnitRun& tag,
                      uint32_t tagRate, const ReadLimits& limits = {});

// The stricter test of write blocks. Coils: within 1 of the block's first coil. Registers: not
// before the block and at most a one-register hole after it. Both stay within 246 bytes.
bool mayJoinWriteBlock(const UnitRun& block, const UnitRun& tag);

// The smallest run covering both (the block after a merge).
UnitRun coveringRun(const UnitRun& block, const UnitRun& tag);

// Blocks this large take no further tags: as many bytes as one read of the device carries (246
// by default) or more over TCP; over a serial line only blocks of more than that are closed.
bool isClosedToJoins(const UnitRun& block, bool serialLine, const ReadLimits& limits = {});

// Buffer capacity of a new block (a multiple of 64 bytes), and after growing to `length`
// (its bytes plus 64, so the next small growth needs no new buffer).
size_t initialBufferCapacity(uint8_t kind, uint32_t length);
size_t grownBufferCapacity(uint8_t kind, uint32_t length);

} // namespace vorn::modbus
