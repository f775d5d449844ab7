#include "EngineQueues.h"

#include "toolkit/SODaSCache.h"

namespace vorn::modbus {

void EngineQueues::appendWrite(QueuedRequest entry) {
    std::lock_guard lock(lock_);
    writes_.push_back(std::move(entry));
}

void EngineQueues::appendDeviceRead(QueuedRequest entry) {
    std::lock_guard lock(lock_);
    deviceReads_.push_back(std::move(entry));
}

void EngineQueues::appendActivation(ActivationChange change) {
    std::lock_guard lock(lock_);
    activations_.push_back(std::move(change));
}

EngineQueues::Lengths EngineQueues::lengths() {
    std::lock_guard lock(lock_);
    return {writes_.size(), deviceReads_.size(), activations_.size()};
}

void EngineQueues::failAll() {
    std::lock_guard lock(lock_);
    for (auto* queue : {&writes_, &deviceReads_})
        for (QueuedRequest& entry : *queue)
            entry.request->complete(E_FAIL, true, vorn::Quality::kBadOutOfService, false, true);
    writes_.clear();
    deviceReads_.clear();
    activations_.clear();
}

} // namespace vorn::modbus
