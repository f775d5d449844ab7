// How publishing goes, for the OPC UA nodes under Objects/Mqtt and the status lines: written by
// the publisher's thread, read by any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace vorn::north::mqtt {

struct MqttStatus {
    std::atomic<bool> connected{false};
    std::atomic<uint64_t> bufferedRecords{0};
    std::atomic<uint64_t> bufferedBytes{0};
    std::atomic<uint64_t> bufferCapacity{0};
    std::atomic<uint64_t> droppedValues{0}; // oldest changes dropped from a full buffer
    std::atomic<uint64_t> publishedMessages{0};
    std::atomic<uint64_t> publishedValues{0};
    std::atomic<uint64_t> connectAttempts{0};

    void setState(std::string text) {
        std::lock_guard lock(mutex_);
        state_ = std::move(text);
    }
    std::string state() const {
        std::lock_guard lock(mutex_);
        return state_;
    }

private:
    mutable std::mutex mutex_;
    std::string state_ = "starting";
};

} // namespace vorn::north::mqtt
