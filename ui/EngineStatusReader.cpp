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

// The address in use when it is not the device's own.
std::string backupInUse(const PlcDevice& device, const std::string& activeAddress) {
    const std::string own = device.address + ":" + std::to_string(device.tcpPort);
    return activeAddress.empty() || activeAddress == own ? std::string() : activeAddress;
}

} // namespace

std::string deviceLabel(const DeviceStatus& device) {
    return device.backupInUse.empty() ? device.name
                                      : device.name + " (using " + device.backupInUse + ")";
}

std::vector<DeviceStatus> EngineStatusReader::devices() const {
    std::vector<DeviceStatus> result;
    for (const EngineSource& source : engines_) {
        std::lock_guard lock(*source.engineLock);
        const std::vector<modbus::EngineDevice>& devices = source.engine->devices();
        for (size_t i = 0; i < devices.size(); ++i) {
            const modbus::EngineDevice& device = devices[i];
            DeviceStatus status{
                device.device->name,
                {},
                backupInUse(*device.device, source.engine->health(i).snapshot().activeAddress)};
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
