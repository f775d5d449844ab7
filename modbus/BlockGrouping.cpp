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

bool passesJoinTest(const UnitRun& block, const UnitRun& tag) {
    if (!sameKindAndNotEmpty(block, tag))
        return false;
    // A tag in front of the block counts from its own first unit to the block's start.
    const uint32_t gap = tag.start < block.start  ? block.start - tag.start
                         : tag.start > end(block) ? tag.start - end(block)
                                                  : 0;
    if (unitBytes(tag.kind, gap) > kMaxJoinGapBytes)
        return false;
    return unitBytes(tag.kind, coveringRun(block, tag).length) <= kMaxDataBytes;
}

bool mayJoinPollBlock(const UnitRun& block, uint32_t blockRate, const UnitRun& tag,
                      uint32_t tagRate) {
    return blockRate == tagRate && passesJoinTest(block, tag);
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

bool isClosedToJoins(const UnitRun& block, bool serialLine) {
    const size_t bytes = unitBytes(block.kind, block.length);
    return serialLine ? bytes > kMaxDataBytes : bytes >= kMaxDataBytes;
}

size_t initialBufferCapacity(uint8_t kind, uint32_t length) {
    return (unitBytes(kind, length) / kBufferGranule + 1) * kBufferGranule;
}

size_t grownBufferCapacity(uint8_t kind, uint32_t length) {
    return unitBytes(kind, length) + kBufferGranule;
}

} // namespace vorn::modbus
