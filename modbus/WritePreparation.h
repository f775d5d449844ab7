// Whether a write block must first read the device's current contents of its range, so that
// units the block covers but no written value sets keep their values.
#pragma once

#include "BlockGrouping.h"
#include "TagShape.h"

#include <cstdint>
#include <span>

namespace vorn::modbus {

struct QueuedWrite {
    TagShape tag;
    uint32_t writtenUnits = 0; // writtenUnitCount() of the value being written
};

// True when a value sets only some bits of a register (VT_BOOL, bool arrays in registers), when
// single coils are written without the single-coil function, or when the written values leave
// part of the block uncovered (a one-register hole, or an array written shorter than its tag).
bool needsReadBeforeWrite(const UnitRun& block, std::span<const QueuedWrite> writes,
                          bool singleWriteCode);

} // namespace vorn::modbus
