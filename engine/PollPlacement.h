// Placing active tags in poll blocks: a tag joins a neighbouring block of the same update rate
// when the hole between them is small and the block stays within one request; arrays and
// tags no block takes get a block of their own.
#pragma once

#include "engine/Blocks.h"
#include "modbus/ModbusTypeTable.h"

namespace vorn::modbus {

class PollPlacement {
public:
    PollPlacement(const ModbusTypeTable& functionCodes, bool serialLine)
        : functionCodes_(functionCodes), serialLine_(serialLine) {}

    // Puts the tag in a poll block of `rate` (the engine clock reads `now`). A tag that takes
    // no units is refused (false).
    bool add(EngineDevice& device, PolledTag& tag, uint32_t rate, uint32_t now) const;
    // Takes the tag out of its block; an emptied block is destroyed, another one is marked for
    // recomputing its range.
    void takeOut(EngineDevice& device, PolledTag& tag) const;
    // Shrinks every marked block to the range its members cover.
    void recompute(EngineDevice& device) const;

private:
    bool merge(PollBlock& block, PolledTag& tag) const;

    const ModbusTypeTable& functionCodes_;
    const bool serialLine_;
};

} // namespace vorn::modbus
