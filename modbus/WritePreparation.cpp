#include "WritePreparation.h"

#include "RegisterKind.h"

#include <algorithm>
#include <vector>

namespace vorn::modbus {
namespace {

bool setsPartOfARegister(const TagShape& tag) {
    return !isBitKind(tag.kind) && (tag.nativeType & ~VT_ARRAY) == VT_BOOL;
}

bool coversBlock(const UnitRun& block, std::span<const QueuedWrite> writes) {
    std::vector<UnitRun> runs;
    for (const QueuedWrite& write : writes)
        runs.push_back(UnitRun{block.kind, write.tag.address, write.writtenUnits});
    std::sort(runs.begin(), runs.end(),
              [](const UnitRun& a, const UnitRun& b) { return a.start < b.start; });
    uint32_t coveredTo = block.start; // one past the last unit covered so far
    for (const UnitRun& run : runs) {
        if (run.start > coveredTo)
            return false;
        coveredTo = std::max(coveredTo, run.start + run.length);
    }
    return coveredTo >= block.start + block.length;
}

} // namespace

bool needsReadBeforeWrite(const UnitRun& block, std::span<const QueuedWrite> writes,
                          bool singleWriteCode) {
    const bool singleWrite = writes.size() == 1 && singleWriteCode;
    for (const QueuedWrite& write : writes) {
        if (setsPartOfARegister(write.tag))
            return true;
        const bool singleCoil = isBitKind(write.tag.kind) && !(write.tag.nativeType & VT_ARRAY);
        if (singleCoil && !singleWrite)
            return true;
    }
    return !coversBlock(block, writes);
}

} // namespace vorn::modbus
