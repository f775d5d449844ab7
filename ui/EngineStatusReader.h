// What the status dialog shows of the running engines, copied out under each engine's lock: the
// devices with their poll blocks, and a block's member tags with value and quality texts.
// Polling per connection runs several engines; their devices are shown together, one engine's
// after another. Blocks are told apart by identity; a block pointer is only followed after the
// device has been seen to still own it.
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
    // The device's backup address and port while it uses them instead of its own ("" else).
    std::string backupInUse;
};

// The device's line in the tree: "P1", or "P1 (using 10.0.0.2:502)" on its backup address.
std::string deviceLabel(const DeviceStatus& device);

struct TagStatus {
    const modbus::PolledTag* tag;
    std::string name;
    std::string value;
    std::string quality;
};

// Shown in the Value column while a tag's cache has no value yet.
inline constexpr const char* kNoValueText = "(none)";

// A running engine and the lock its blocks are read under (its queues' engine lock).
struct EngineSource {
    const modbus::CommThread* engine;
    std::mutex* engineLock;
};

class EngineStatusReader {
public:
    explicit EngineStatusReader(std::vector<EngineSource> engines) : engines_(std::move(engines)) {}
    EngineStatusReader(const modbus::CommThread& engine, std::mutex& engineLock)
        : EngineStatusReader(std::vector<EngineSource>{{&engine, &engineLock}}) {}

    // Every device of every engine, each engine's in its (configuration) order; a device's
    // position in this list names it in tags().
    std::vector<DeviceStatus> devices() const;
    // The member tags of `block` on the device at `device`; nothing when the device no
    // longer owns that block.
    std::optional<std::vector<TagStatus>> tags(size_t device, const modbus::PollBlock* block) const;

private:
    std::vector<EngineSource> engines_;
};

} // namespace vorn::ui
