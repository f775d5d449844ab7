#include "MonitoredItem.h"

#include "toolkit/ua/UaBinary.h"

#include <algorithm>

namespace vorn::ua {
namespace {

QueuedValue queued(const DataValue& dv) {
    QueuedValue q;
    if (dv.hasValue && !dv.value.isNull()) {
        Encoder e;
        e.variant(dv.value);
        q.value = std::move(e.bytes());
        q.value.shrink_to_fit();
    }
    q.status = dv.status;
    q.sourceTimestamp = dv.sourceTimestamp;
    q.serverTimestamp = dv.serverTimestamp;
    return q;
}

void flagOverflow(QueuedValue& value) {
    value.status |= Status::kInfoTypeDataValue | Status::kOverflow;
}

} // namespace

void QueuedValue::encode(Encoder& out) const {
    out.dataValue(value, status, sourceTimestamp, serverTimestamp);
}

void ValueQueue::push_back(QueuedValue value) {
    if (count_ == slots_.size()) { // full: oldest first again, then one more slot
        std::rotate(slots_.begin(), slots_.begin() + head_, slots_.end());
        head_ = 0;
        slots_.push_back(std::move(value));
    } else {
        slots_[(head_ + count_) % slots_.size()] = std::move(value);
    }
    ++count_;
}

void ValueQueue::pop_front() {
    slots_[head_] = QueuedValue{}; // frees a string or array value now
    head_ = static_cast<uint32_t>((head_ + 1) % slots_.size());
    if (--count_ == 0)
        clear(); // an item between two changes holds no storage
}

void ValueQueue::clear() {
    slots_ = {};
    head_ = count_ = 0;
}

void MonitoredItem::offer(const DataValue& value, QueueBudget& session, QueueBudget& server) {
    if (!detector.isChange(value, filter))
        return;
    QueuedValue next = queued(value);
    size_t bytes = next.bytes();
    bool fits = queue.size() < queueSize && session.fits(bytes) && server.fits(bytes);
    if (queue.empty() || fits) {
        session.used += bytes;
        server.used += bytes;
        queue.push_back(std::move(next));
        return;
    }
    // Full (or out of budget): one value goes, and the Overflow bit marks where. A queue of
    // one simply holds the latest value, without the bit.
    bool flag = queueSize > 1;
    auto& dropped = discardOldest ? queue.front() : queue.back();
    session.used -= dropped.bytes();
    server.used -= dropped.bytes();
    session.used += bytes;
    server.used += bytes;
    if (discardOldest) {
        queue.pop_front();
        queue.push_back(std::move(next));
        if (flag)
            flagOverflow(queue.front());
    } else {
        queue.back() = std::move(next);
        if (flag)
            flagOverflow(queue.back());
    }
}

void MonitoredItem::clearQueue(QueueBudget& session, QueueBudget& server) {
    for (size_t i = 0; i < queue.size(); ++i) {
        session.used -= queue[i].bytes();
        server.used -= queue[i].bytes();
    }
    queue.clear();
}

void MonitoredItem::reportAgain() {
    detector.reset();
    lastChangeCount = UINT64_MAX;
}

} // namespace vorn::ua
