#include "ChangeInbox.h"

namespace vorn::north::mqtt {

int64_t unixMs(std::chrono::system_clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
}

ChangeInbox::ChangeInbox(std::shared_ptr<const TagSet> tags)
    : tags_(std::move(tags)), lastSeen_(std::make_unique<LastSeen[]>(tags_->tags().size())) {}

void ChangeInbox::cacheChanged(const SODaSCache& cache, const CacheSnapshot& state) {
    const uint32_t index = tags_->indexOfCache(&cache);
    if (index == TagSet::kNoTag)
        return;
    // A poll that finds what the last one found is no change.
    LastSeen& last = lastSeen_[index];
    if (last.seen && last.quality == state.quality && last.value == state.value)
        return;
    last.seen = true;
    last.quality = state.quality;
    last.value = state.value;
    push({ChangeRecord::Kind::value, index, state.quality, unixMs(state.timestamp), state.value});
}

void ChangeInbox::deviceState(const std::string& deviceName, bool up) {
    const int device = tags_->deviceIndex(deviceName);
    if (device < 0)
        return;
    push({up ? ChangeRecord::Kind::deviceUp : ChangeRecord::Kind::deviceDown,
          static_cast<uint32_t>(device), 0, unixMs(std::chrono::system_clock::now()), Variant()});
}

void ChangeInbox::push(ChangeRecord record) {
    std::lock_guard lock(mutex_);
    if (pending_.size() >= kMaxPending) {
        pending_.pop_front();
        dropped_.fetch_add(1);
    }
    pending_.push_back(std::move(record));
}

std::deque<ChangeRecord> ChangeInbox::take() {
    std::deque<ChangeRecord> taken;
    std::lock_guard lock(mutex_);
    taken.swap(pending_);
    return taken;
}

} // namespace vorn::north::mqtt
