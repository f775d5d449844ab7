#include "EngineStatusReader.h"

#include "engine/CommThread.h"
#include "toolkit/SODaSCache.h"
#include "ui/BlockLabel.h"
#include "ui/DisplayText.h"

namespace vorn::ui {
namespace {

TagStatus statusOf(const modbus::PolledTag& tag) {
    TagStatus status{&tag, tag.getName(), kNoValueText, qualityText(Quality::kUncertain)};
    if (auto cache = tag.getCache()) {
        const CacheSnapshot snapshot = cache->snapshot();
        if (snapshot.value.type() != VT_EMPTY)
            status.value = displayText(snapshot.value, tag.elements());
        status.quality = qualityText(snapshot.quality);
    }
    return status;
}

} // namespace

std::vector<DeviceStatus> EngineStatusReader::devices() const {
    std::vector<DeviceStatus> result;
    std::lock_guard lock(engineLock_);
    for (const modbus::EngineDevice& device : engine_.devices()) {
        DeviceStatus status{device.device->name, {}};
        for (const auto& block : device.pollBlocks)
            status.blocks.push_back(
                {block.get(), blockLabel(block->kind, block->start, block->length)});
        result.push_back(std::move(status));
    }
    return result;
}

std::optional<std::vector<TagStatus>>
EngineStatusReader::tags(size_t device, const modbus::PollBlock* block) const {
    std::lock_guard lock(engineLock_);
    const auto& devices = engine_.devices();
    if (device >= devices.size() || !devices[device].owns(block))
        return std::nullopt;
    std::vector<TagStatus> result;
    for (const modbus::PolledTag* tag : block->members)
        result.push_back(statusOf(*tag));
    return result;
}

} // namespace vorn::ui
