// The server's tag: a toolkit tag that carries its Modbus configuration (device, address, bit,
// kind, element count) and the engine's per-tag state. Reads and writes of the device value
// are handed to the communication engine through handleRequest.
#pragma once

#include <atomic>
#include <cstdint>

#include "config/TagConfig.h"
#include "toolkit/SOCmnList.h"
#include "toolkit/SODaSGroup.h"
#include "toolkit/SODaSTag.h"

namespace vorn {

class PollBlock;

// Where a tag stands with the poll blocks: never placed, member of one, or taken out.
enum class BlockState : uint8_t { neverPlaced = 0, member = 1, takenOut = 2 };

class ModbusTag : public SODaSTag {
public:
    explicit ModbusTag(const TagConfig& config);

    const SOCmnPointer<PlcDevice>& device() const { return device_; }
    uint16_t address() const { return address_; }
    uint16_t bitNumber() const { return bitNumber_; }
    uint8_t kind() const { return kind_; }
    // Element count; a write of another length changes it (under the engine's lock).
    uint16_t elements() const { return elements_.load(); }
    void setElements(uint16_t count) { elements_.store(count); }

    // Engine state, touched by the communication thread under its lock.
    PollBlock* pollBlock = nullptr;
    BlockState blockState = BlockState::neverPlaced;
    // Row of the tag in the status dialog's list, -1 when it has none.
    int32_t statusRow = -1;

    // Items of clients that want the tag polled; changed only by the item activation hook.
    SOCmnListHeader<SODaSItem*>& activeItems() { return activeItems_; }

private:
    SOCmnPointer<PlcDevice> device_;
    const uint16_t address_;
    const uint16_t bitNumber_;
    const uint8_t kind_;
    std::atomic<uint16_t> elements_;
    SOCmnListHeader<SODaSItem*> activeItems_;
};

// The tag factory the configuration loader uses.
SOCmnPointer<SODaSTag> makeModbusTag(const TagConfig& config);

} // namespace vorn
