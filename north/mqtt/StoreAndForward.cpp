#include "StoreAndForward.h"

#include <algorithm>
#include <utility>

namespace vorn::north::mqtt {

StoreAndForward::StoreAndForward(size_t capacity, const std::filesystem::path& spoolFile,
                                 std::string& error)
    : capacity_(capacity), memoryLimit_(std::min(capacity / 4, kMaxMemoryBytes)) {
    if (spoolFile.empty() || !spool_.open(spoolFile, capacity_ - memoryLimit_, error))
        memoryLimit_ = capacity_;
}

void StoreAndForward::push(const ChangeRecord& record) {
    std::string bytes;
    encodeRecord(record, bytes);
    memoryBytes_ += memoryCost(bytes);
    memory_.push_back(std::move(bytes));
    spill();
    while (this->bytes() > capacity_ && count() > 0)
        dropOldest();
}

void StoreAndForward::spill() {
    while (memoryBytes_ > memoryLimit_ && !memory_.empty() && spool_.isOpen()) {
        const std::string& oldest = memory_.front();
        // The file is full: its own oldest go first (they are older than anything in memory).
        while (SpoolFile::footprint(oldest) > spool_.capacity() - spool_.bytes() &&
               (!front_.empty() || spool_.count() > 0))
            dropOldest();
        if (!spool_.push(oldest))
            break; // the file failed: memory holds the rest, within the whole capacity
        memoryBytes_ -= memoryCost(oldest);
        memory_.pop_front();
    }
}

void StoreAndForward::returnToFront(const std::vector<ChangeRecord>& records) {
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        std::string bytes;
        encodeRecord(*it, bytes);
        frontBytes_ += memoryCost(bytes);
        front_.push_front(std::move(bytes));
    }
    while (bytes() > capacity_ && count() > 0)
        dropOldest();
}

std::optional<ChangeRecord> StoreAndForward::pop() {
    std::string bytes;
    if (!front_.empty()) {
        bytes = std::move(front_.front());
        front_.pop_front();
        frontBytes_ -= memoryCost(bytes);
    } else if (auto fromFile = spool_.pop()) {
        bytes = std::move(*fromFile);
    } else if (!memory_.empty()) {
        bytes = std::move(memory_.front());
        memory_.pop_front();
        memoryBytes_ -= memoryCost(bytes);
    } else {
        return std::nullopt;
    }
    return decodeRecord(bytes);
}

void StoreAndForward::dropOldest() {
    if (!front_.empty()) {
        countDropped(front_.front());
        frontBytes_ -= memoryCost(front_.front());
        front_.pop_front();
    } else if (auto fromFile = spool_.pop()) {
        countDropped(*fromFile);
    } else if (!memory_.empty()) {
        countDropped(memory_.front());
        memoryBytes_ -= memoryCost(memory_.front());
        memory_.pop_front();
    }
}

void StoreAndForward::countDropped(const std::string& bytes) {
    // The first byte is the record's kind.
    if (!bytes.empty() && bytes[0] == static_cast<char>(ChangeRecord::Kind::value))
        ++droppedValues_;
    else
        droppedEvent_ = true;
}

bool StoreAndForward::takeDroppedEvent() {
    return std::exchange(droppedEvent_, false);
}

} // namespace vorn::north::mqtt
