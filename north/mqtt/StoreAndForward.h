// The bounded buffer between what happened and what the broker has confirmed: records wait here
// while the broker is away or slow, oldest first. Memory first (a quarter of the size, at most
// 16 MiB), then the spool file in the state folder; together never more than the size set.
// When full, the oldest records are dropped and counted. The publisher's thread owns it.
#pragma once

#include "north/mqtt/ChangeRecord.h"
#include "north/mqtt/SpoolFile.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vorn::north::mqtt {

class StoreAndForward {
public:
    // What a record kept in memory costs besides its bytes (the string that holds it).
    static constexpr size_t kMemoryEntryOverhead = 48;
    static constexpr size_t kMaxMemoryBytes = size_t{16} << 20;

    // `capacity` bytes in all; the spool file at `spoolFile` (empty path: memory only).
    // `error` tells why the file could not be made (the buffer then keeps to memory).
    StoreAndForward(size_t capacity, const std::filesystem::path& spoolFile, std::string& error);

    // Appends; drops the oldest while the whole is over capacity.
    void push(const ChangeRecord& record);
    // Puts records taken earlier back in front, in their order (a message the broker never
    // confirmed).
    void returnToFront(const std::vector<ChangeRecord>& records);
    // The oldest record, removed.
    std::optional<ChangeRecord> pop();

    size_t count() const { return front_.size() + spool_.count() + memory_.size(); }
    size_t bytes() const { return frontBytes_ + spool_.bytes() + memoryBytes_; }
    size_t capacity() const { return capacity_; }
    uint64_t droppedValues() const { return droppedValues_; }
    // True once (then false) after a device event was dropped: the device states the broker
    // saw may be wrong, and a rebirth restates them.
    bool takeDroppedEvent();
    const SpoolFile& spool() const { return spool_; }

private:
    static size_t memoryCost(const std::string& bytes) {
        return bytes.size() + kMemoryEntryOverhead;
    }
    void dropOldest();
    void countDropped(const std::string& bytes);
    // Moves the oldest records held in memory to the file while memory is over its share.
    void spill();

    size_t capacity_;
    size_t memoryLimit_;
    std::deque<std::string> front_; // returned records: older than everything else
    size_t frontBytes_ = 0;
    SpoolFile spool_;                // then these
    std::deque<std::string> memory_; // then the newest
    size_t memoryBytes_ = 0;
    uint64_t droppedValues_ = 0;
    bool droppedEvent_ = false;
};

} // namespace vorn::north::mqtt
