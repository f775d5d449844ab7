// What the status dialog shows of the running engine, copied out under the engine lock: the
// devices with their poll blocks, and a block's member tags with value and quality texts.
// Blocks are told apart by identity; a block pointer is only followed after the device has
// been seen to still own it.
#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vorn::modbus {
class CommThread;
class PolledTag;
struct PollBlock;
} // namespace vorn::modbus

namespace vorn::ui {

struct BlockStatus {
    const modbus::PollBlock* block;
    std::string label; // "HREG100-LEN10"
};

struct DeviceStatus {
    std::string name;
    std::vector<BlockStatus> blocks; // in the engine's order
};

struct TagStatus {
    const modbus::PolledTag* tag;
    std::string name;
    std::string value;
    std::string quality;
};

// Shown in the Value column while a tag's cache has no value yet.
inline constexpr const char* kNoValueText = "(none)";

class EngineStatusReader {
public:
    EngineStatusReader(const modbus::CommThread& engine, std::mutex& engineLock)
        : engine_(engine), engineLock_(engineLock) {}

    // Every device of the engine, in the engine's (configuration) order.
    std::vector<DeviceStatus> devices() const;
    // The member tags of `block` on the device at `device`; nothing when the device no
    // longer owns that block.
    std::optional<std::vector<TagStatus>> tags(size_t device, const modbus::PollBlock* block) const;

private:
    const modbus::CommThread& engine_;
    std::mutex& engineLock_;
};

} // namespace vorn::ui
