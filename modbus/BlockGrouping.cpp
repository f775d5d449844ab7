#include "BlockGrouping.h"

#include "ModbusProtocol.h"
#include "RegisterKind.h"

#include <algorithm>

namespace vorn::modbus {
namespace {

constexpr size_t kBufferGranule = 64;
constexpr uint32_t kMaxWriteHoleRegisters = 1;
constexpr uint32_t kMaxCoilWriteDistance = 1;

uint32_t end(const UnitRun& run) {
    return run.start + run.length;
} // one past the last unit

bool sameKindAndNotEmpty(const UnitRun& block, const UnitRun& tag) {
    return block.kind == tag.kind && isKnownKind(tag.kind) && tag.length > 0;
}

} // namespace

UnitRun coveringRun(const UnitRun& block, const UnitRun& tag) {
    if (block.length == 0)
        return tag;
    const uint32_t start = std::min(block.start, tag.start);
    return UnitRun{block.kind, start, std::max(end(block), end(tag)) - start};
}

bool passesJoinTest(const UnitRun& block, const UnitRun& tag, const ReadLimits& limits) {
    if (!sameKindAndNotEmpty(block, tag))
        return false;
    // A tag in front of the block counts from its own first unit to the block's start.
    const uint32_t gap = tag.start < block.start  ? block.start - tag.start
                         : tag.start > end(block) ? tag.start - end(block)
                                                  : 0;
    if (gap > limits.maxHole(tag.kind))
        return false;
    return coveringRun(block, tag).length <= limits.unitsPerRead(tag.kind);
}

bool mayJoinPollBlock(const UnitRun& block, uint32_t blockRate, const UnitRun& tag,
                      uint32_t tagRate, const ReadLimits& limits) {
    return blockRate == tagRate && passesJoinTest(block, tag, limits);
}

bool mayJoinWriteBlock(const UnitRun& block, const UnitRun& tag) {
    if (!sameKindAndNotEmpty(block, tag))
        return false;
    if (isBitKind(tag.kind)) {
        const uint32_t distance =
            tag.start > block.start ? tag.start - block.start : block.start - tag.start;
        return distance <= kMaxCoilWriteDistance &&
               unitBytes(tag.kind, block.length + distance) <= kMaxDataBytes;
    }
    if (tag.start < block.start || tag.start > end(block) + kMaxWriteHoleRegisters)
        return false;
    return unitBytes(tag.kind, coveringRun(block, tag).length) <= kMaxDataBytes;
}

bool isClosedToJoins(const UnitRun& block, bool serialLine, const ReadLimits& limits) {
    const size_t bytes = unitBytes(block.kind, block.length);
    const size_t full = unitBytes(block.kind, limits.unitsPerRead(block.kind));
    return serialLine ? bytes > full : bytes >= full;
}

size_t initialBufferCapacity(uint8_t kind, uint32_t length) {
    return (unitBytes(kind, length) / kBufferGranule + 1) * kBufferGranule;
}

size_t grownBufferCapacity(uint8_t kind, uint32_t length) {
    return unitBytes(kind, length) + kBufferGranule;
}

} // namespace vorn::modbus
