// Where the engine's threads hand changes to the publisher: every value or quality a published
// tag's cache takes that differs from the one before, and each device that fails or comes back.
// The engine's side only compares, copies and appends under a short lock; the publisher takes
// everything at once. Bounded: beyond kMaxPending the oldest are dropped and counted, so a
// stalled publisher never costs the engine memory without end.
#pragma once

#include "north/mqtt/ChangeRecord.h"
#include "north/mqtt/TagSet.h"
#include "toolkit/SODaSCache.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace vorn::north::mqtt {

class ChangeInbox : public SODaSCacheListener {
public:
    static constexpr size_t kMaxPending = 1'000'000;

    explicit ChangeInbox(std::shared_ptr<const TagSet> tags);

    // The engine's thread that polled the tag (SODaSCacheListener).
    void cacheChanged(const SODaSCache& cache, const CacheSnapshot& state) override;
    // Any thread: a device failed (`up` false) or works again.
    void deviceState(const std::string& deviceName, bool up);
    // Any thread: a value to publish whether it changed or not (the answer to a write).
    void push(ChangeRecord record);

    // The publisher: everything handed over since the last call, oldest first.
    std::deque<ChangeRecord> take();
    // Records dropped because the publisher did not take them in time.
    uint64_t dropped() const { return dropped_.load(); }

private:
    // What a tag's cache held last; touched only by the engine thread that polls the tag.
    struct LastSeen {
        bool seen = false;
        uint16_t quality = 0;
        Variant value;
    };

    std::shared_ptr<const TagSet> tags_;
    std::unique_ptr<LastSeen[]> lastSeen_;
    std::mutex mutex_;
    std::deque<ChangeRecord> pending_;
    std::atomic<uint64_t> dropped_{0};
};

// Unix milliseconds of a time point.
int64_t unixMs(std::chrono::system_clock::time_point time);

} // namespace vorn::north::mqtt
