// Whether a tag may join a block of neighbouring units, so that one request serves both.
// Ranges are in units of the block's kind; 32-bit so that sums never wrap.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorn::modbus {

struct UnitRun {
    uint8_t kind = 0;
    uint32_t start = 0;
    uint32_t length = 0;
};

// Largest hole (in bytes) read rather than split into two requests.
constexpr size_t kMaxJoinGapBytes = 50;

// The join test of poll blocks and device-read blocks: same kind, a hole of at most 50 bytes
// between them, and the covering range within one request (246 bytes). A tag of 0 units never
// joins.
bool passesJoinTest(const UnitRun& block, const UnitRun& tag);

// Poll blocks also need the same update rate.
bool mayJoinPollBlock(const UnitRun& block, uint32_t blockRate, const UnitRun& tag,
                      uint32_t tagRate);

// The stricter test of write blocks. Coils: within 1 of the block's first coil. Registers: not
// before the block and at most a one-register hole after it. Both stay within 246 bytes.
bool mayJoinWriteBlock(const UnitRun& block, const UnitRun& tag);

// The smallest run covering both (the block after a merge).
UnitRun coveringRun(const UnitRun& block, const UnitRun& tag);

// Blocks this large take no further tags: 246 bytes or more over TCP; over a serial line only
// blocks of more than 246 bytes are closed.
bool isClosedToJoins(const UnitRun& block, bool serialLine);

// Buffer capacity of a new block (a multiple of 64 bytes), and after growing to `length`
// (its bytes plus 64, so the next small growth needs no new buffer).
size_t initialBufferCapacity(uint8_t kind, uint32_t length);
size_t grownBufferCapacity(uint8_t kind, uint32_t length);

} // namespace vorn::modbus
