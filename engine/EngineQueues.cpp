#include "EngineQueues.h"

#include "engine/ClientTransfers.h"
#include "toolkit/SODaSCache.h"

#include <chrono>

namespace vorn::modbus {

void EngineQueues::append(std::vector<QueuedRequest>& queue, QueuedRequest entry,
                          void (*fail)(QueuedRequest&, int)) {
    {
        std::lock_guard lock(lock_);
        if (auto failing = answeredAtOnce_.find(entry.tag->device().get());
            failing != answeredAtOnce_.end())
            return fail(entry, failing->second);
        queue.push_back(std::move(entry));
        woken_ = true;
    }
    arrival_.notify_one();
}

void EngineQueues::appendWrite(QueuedRequest entry) {
    append(writes_, std::move(entry), failWrite);
}

void EngineQueues::appendDeviceRead(QueuedRequest entry) {
    append(deviceReads_, std::move(entry), failRead);
}

void EngineQueues::appendActivation(ActivationChange change) {
    {
        std::lock_guard lock(lock_);
        activations_.push_back(std::move(change));
        woken_ = true;
    }
    arrival_.notify_one();
}

void EngineQueues::answerAtOnce(const PlcDevice& device, int code) {
    std::lock_guard lock(lock_);
    if (code == 0)
        answeredAtOnce_.erase(&device);
    else
        answeredAtOnce_[&device] = code;
}

void EngineQueues::wake() {
    {
        std::lock_guard lock(lock_);
        woken_ = true;
    }
    arrival_.notify_one();
}

void EngineQueues::waitForArrival(uint32_t timeoutMs) {
    std::unique_lock lock(lock_);
    arrival_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return woken_; });
    woken_ = false;
}

EngineQueues::Lengths EngineQueues::lengths() {
    std::lock_guard lock(lock_);
    return {writes_.size(), deviceReads_.size(), activations_.size()};
}

void EngineQueues::failAll() {
    std::lock_guard lock(lock_);
    for (auto* queue : {&writes_, &deviceReads_})
        for (QueuedRequest& entry : *queue)
            entry.request->complete(E_ABORT, true, vorn::Quality::kBadOutOfService, false, true);
    writes_.clear();
    deviceReads_.clear();
    activations_.clear();
}

} // namespace vorn::modbus
