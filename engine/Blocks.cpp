#include "Blocks.h"

#include <algorithm>

namespace vorn::modbus {

bool EngineDevice::owns(const PollBlock* block) const {
    return std::any_of(pollBlocks.begin(), pollBlocks.end(),
                       [block](const auto& held) { return held.get() == block; });
}

bool EngineDevice::allVisited() const {
    return std::all_of(pollBlocks.begin(), pollBlocks.end(),
                       [](const auto& block) { return block->visited; });
}

void EngineDevice::clearVisited() {
    for (auto& block : pollBlocks)
        block->visited = false;
}

} // namespace vorn::modbus
