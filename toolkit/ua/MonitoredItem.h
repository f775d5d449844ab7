// A monitored item: what it samples (a toolkit item for a tag's value, else a node's
// attribute), at which rate, the filter that tells a data change, and its queue of values
// waiting for a Publish. Guarded by the session manager's lock.
#pragma once

#include "toolkit/SODaSGroup.h"
#include "toolkit/ua/DataChangeFilter.h"
#include "toolkit/ua/UaTypes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vorn::ua {

struct Node;
class Encoder;

namespace MonitoringMode {
constexpr uint32_t kDisabled = 0, kSampling = 1, kReporting = 2;
} // namespace MonitoringMode

// Bytes of queued values, counted against a session's or the server's limit (UaLimits.h).
struct QueueBudget {
    size_t used = 0;
    size_t limit = 0;
    bool fits(size_t bytes) const { return used + bytes <= limit; }
};

// A sampled value waiting for a Publish, kept small: its variant encoded.
struct QueuedValue {
    std::string value; // the encoded Variant; empty: no value
    StatusCode status = 0;
    DateTime sourceTimestamp = 0;
    DateTime serverTimestamp = 0;

    size_t bytes() const { return sizeof(QueuedValue) + value.capacity(); }
    void encode(Encoder& out) const;
};

// The values of one item waiting for a Publish, oldest first: a ring over a vector that grows
// to the item's queue size, so that an item costs no memory for its queue until it queues (a
// std::deque would take over 500 bytes for every item at once).
class ValueQueue {
public:
    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    QueuedValue& operator[](size_t i) { return slots_[(head_ + i) % slots_.size()]; }
    const QueuedValue& operator[](size_t i) const { return slots_[(head_ + i) % slots_.size()]; }
    QueuedValue& front() { return (*this)[0]; }
    QueuedValue& back() { return (*this)[count_ - 1]; }
    void push_back(QueuedValue value);
    void pop_front();
    void clear();

private:
    std::vector<QueuedValue> slots_;
    uint32_t head_ = 0;
    uint32_t count_ = 0;
};

// A server holds one per monitored tag, 100,000s with a large plant: a tag's value is read
// through its toolkit item alone, without a node or a copy of its node id.
struct MonitoredItem {
    uint32_t id = 0;
    uint32_t clientHandle = 0;
    uint32_t attributeId = 0;
    uint32_t mode = MonitoringMode::kReporting;
    uint32_t timestampsToReturn = 2;
    // The item's own sampling rate in milliseconds when it is faster than its subscription's
    // publishing interval (its tag is then polled by a group of that rate); 0: it samples at
    // the publishing interval.
    uint32_t samplingRateMs = 0;
    uint32_t queueSize = 1;
    bool discardOldest = true;
    DataChangeFilter filter;
    const Node* node = nullptr; // the node whose attribute is sampled; null for a tag's value
    std::shared_ptr<const Node> heldNode;  // keeps `node` when it was made for the lookup
    SOCmnPointer<SODaSItem> item;          // toolkit item of a tag's value; null otherwise
    uint64_t lastChangeCount = UINT64_MAX; // the tag cache's change count last sampled
    ChangeDetector detector;
    ValueQueue queue;

    // Queues `value` when the filter takes it for a data change. A full queue drops its oldest
    // value (discardOldest) or its newest, and flags the Overflow bit on the value that now
    // stands beside the gap, as clients expect. Beyond a budget the item keeps one value.
    void offer(const DataValue& value, QueueBudget& session, QueueBudget& server);
    // Empties the queue and gives its bytes back.
    void clearQueue(QueueBudget& session, QueueBudget& server);
    // The next sample reports whatever it holds (the item was just made reporting).
    void reportAgain();
};

} // namespace vorn::ua
