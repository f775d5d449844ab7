// A tag as the polling engine sees it: its Modbus configuration (device, address, bit, kind,
// element count, byte order, scaling) and the engine's own state. The server's OPC tag class
// derives from it. A scaled tag's native data type is VT_R8 (what clients see); the type in
// its registers is kept with its scaling.
#pragma once

#include "config/TagConfig.h"
#include "modbus/TagShape.h"
#include "toolkit/SODaSGroup.h"
#include "toolkit/SODaSTag.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace vorn::modbus {

struct PollBlock;

// Where a tag stands with the poll blocks: never placed, member of one, or taken out.
enum class BlockState : uint8_t { neverPlaced = 0, member = 1, takenOut = 2 };

// The items of clients that want a tag polled. Every tag holds one, so its lock is a striped
// one (toolkit/StripedLock.h) rather than a mutex apiece; each call locks for itself.
class ActiveItems {
public:
    void add(SODaSItem* item);
    // Removes the first entry of `item`; false when there is none.
    bool removeObject(SODaSItem* item);
    size_t getCount() const;
    bool isEmpty() const { return getCount() == 0; }
    // The items as they are now, each counted (a reload moves them to a tag's new definition).
    std::vector<SOCmnPointer<SODaSItem>> snapshot() const;

private:
    // Mostly one item watches a tag: it is held inline, and only further ones in the vector.
    SODaSItem* first_ = nullptr;
    std::vector<SODaSItem*> more_; // no allocation while at most one item is active
};

class PolledTag : public SODaSTag {
public:
    explicit PolledTag(const TagConfig& config);

    // The configuration the tag was made from (a reload compares it with the file's).
    TagConfig config() const;

    const SOCmnPointer<PlcDevice>& device() const { return device_; }
    uint16_t address() const { return address_; }
    uint16_t bitNumber() const { return bitNumber_; }
    uint8_t kind() const { return kind_; }
    // Element count as configured; writes never change it.
    uint16_t elements() const { return elements_.load(); }
    modbus::ByteOrder byteOrder() const { return byteOrder_; }
    // The type in the device's registers: the native type, except for a scaled tag.
    VARTYPE registerType() const { return scaled_ ? scaled_->registerType : getNativeDatatype(); }
    const Scaling* scaling() const { return scaled_ ? &scaled_->scaling : nullptr; }
    bool isArray() const { return (getNativeDatatype() & VT_ARRAY) != 0; }
    TagShape shape() const;

    // Engine state: touched by the communication thread only, under the engine lock while it
    // places tags in blocks (the status dialog reads it under the same lock).
    PollBlock* pollBlock = nullptr;
    BlockState blockState = BlockState::neverPlaced;

    // Items of clients that want the tag polled; changed only by the item activation hook.
    // The items are not counted: an item leaves the list before it is released.
    ActiveItems& activeItems() { return activeItems_; }

private:
    // Only scaled tags pay for their scaling (a plant holds 100,000s of tags).
    struct ScaledRegisters {
        Scaling scaling;
        VARTYPE registerType;
    };

    SOCmnPointer<PlcDevice> device_;
    const uint16_t address_;
    const uint16_t bitNumber_;
    const uint8_t kind_;
    const ByteOrder byteOrder_;
    std::atomic<uint16_t> elements_;
    ActiveItems activeItems_;
    const std::unique_ptr<const ScaledRegisters> scaled_;
};

} // namespace vorn::modbus
