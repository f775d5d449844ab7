#include "PollPlacement.h"

#include "modbus/RegisterKind.h"

#include <algorithm>

namespace vorn::modbus {
namespace {

UnitRun runOf(const PolledTag& tag) {
    return UnitRun{tag.kind(), tag.address(), static_cast<uint32_t>(unitCount(tag.shape()))};
}

} // namespace

bool PollPlacement::merge(PollBlock& block, PolledTag& tag) const {
    const UnitRun tagRun = runOf(tag);
    if (tagRun.length == 0)
        return false;
    const UnitRun covering = block.members.empty() ? tagRun : coveringRun(block.run(), tagRun);
    block.start = static_cast<uint16_t>(covering.start);
    block.length = static_cast<uint16_t>(std::min<uint32_t>(covering.length, 0xFFFF));
    const size_t needed = unitBytes(block.kind, block.length);
    if (needed > block.buffer.size())
        block.buffer.assign(block.members.empty() ? initialBufferCapacity(block.kind, block.length)
                                                  : grownBufferCapacity(block.kind, block.length),
                            0);
    block.members.insert(&tag);
    block.holdsArray = block.holdsArray || tag.isArray();
    tag.pollBlock = &block;
    tag.blockState = BlockState::member;
    return true;
}

bool PollPlacement::add(EngineDevice& device, PolledTag& tag, uint32_t rate, uint32_t now) const {
    const UnitRun tagRun = runOf(tag);
    if (tagRun.length == 0)
        return false;

    const ReadLimits& limits = device.device->readLimits;
    PollBlock* current = tag.pollBlock;
    if (current && device.owns(current) &&
        mayJoinPollBlock(current->run(), current->updateRate, tagRun, rate, limits)) {
        current->visited = false;
        return merge(*current, tag);
    }
    tag.pollBlock = nullptr;

    if (!tag.isArray()) {
        for (auto& block : device.pollBlocks) {
            if (block->holdsArray || isClosedToJoins(block->run(), serialLine_, limits))
                continue;
            if (mayJoinPollBlock(block->run(), block->updateRate, tagRun, rate, limits))
                return merge(*block, tag);
        }
    }

    auto block = std::make_unique<PollBlock>();
    block->start = tag.address();
    block->length = static_cast<uint16_t>(std::min<uint32_t>(tagRun.length, 0xFFFF));
    block->kind = tag.kind();
    block->readCode = functionCodes_.readCode(tag.kind());
    block->updateRate = rate;
    block->lastTransfer = now;
    PollBlock& placed = *block;
    device.pollBlocks.push_back(std::move(block));
    return merge(placed, tag);
}

void PollPlacement::takeOut(EngineDevice& device, PolledTag& tag) const {
    PollBlock* block = tag.pollBlock;
    tag.blockState = BlockState::takenOut;
    if (!block || !device.owns(block))
        return;
    block->members.erase(&tag);
    if (!block->members.empty()) {
        device.toRecompute.insert(block);
        return;
    }
    device.toRecompute.erase(block);
    tag.pollBlock = nullptr;
    auto it = std::find_if(device.pollBlocks.begin(), device.pollBlocks.end(),
                           [block](const auto& held) { return held.get() == block; });
    device.pollBlocks.erase(it);
    if (device.rotation >= device.pollBlocks.size())
        device.rotation = 0;
}

void PollPlacement::recompute(EngineDevice& device) const {
    for (PollBlock* block : device.toRecompute) {
        if (!device.owns(block))
            continue;
        if (block->members.empty()) {
            block->start = 0;
            block->length = 0;
            block->visited = true;
            continue;
        }
        uint32_t low = UINT32_MAX, high = 0;
        bool array = false;
        for (PolledTag* tag : block->members) {
            const UnitRun run = runOf(*tag);
            low = std::min(low, run.start);
            high = std::max(high, run.start + run.length - 1);
            array = array || tag->isArray();
        }
        block->start = static_cast<uint16_t>(low);
        block->length = static_cast<uint16_t>(std::min<uint32_t>(high - low + 1, 0xFFFF));
        block->holdsArray = array;
    }
    device.toRecompute.clear();
}

} // namespace vorn::modbus
