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
    for (const EngineSource& source : engines_) {
        std::lock_guard lock(*source.engineLock);
        for (const modbus::EngineDevice& device : source.engine->devices()) {
            DeviceStatus status{device.device->name, {}};
            for (const auto& block : device.pollBlocks) {
                std::string label = blockLabel(block->kind, block->start, block->length);
                if (block->readTagByTag.load()) // the device refused it as a whole
                    label += " (tag by tag)";
                status.blocks.push_back({block.get(), std::move(label)});
            }
            result.push_back(std::move(status));
        }
    }
    return result;
}

std::optional<std::vector<TagStatus>>
EngineStatusReader::tags(size_t device, const modbus::PollBlock* block) const {
    // An engine's device list is fixed once it runs, so positions stay valid.
    for (const EngineSource& source : engines_) {
        const auto& devices = source.engine->devices();
        if (device >= devices.size()) {
            device -= devices.size();
            continue;
        }
        std::lock_guard lock(*source.engineLock);
        if (!devices[device].owns(block))
            return std::nullopt;
        std::vector<TagStatus> result;
        for (const modbus::PolledTag* tag : block->members)
            result.push_back(statusOf(*tag));
        return result;
    }
    return std::nullopt;
}

} // namespace vorn::ui
