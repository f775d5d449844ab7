#include "ParkedCalls.h"

#include "toolkit/ua/UaLimits.h"

#include <algorithm>

namespace vorn::ua {

void ParkedCalls::Doorbell::ring() {
    {
        std::lock_guard lock(mutex);
        rung = true;
    }
    rang.notify_one();
}

ParkedCalls::ParkedCalls() : thread_([this] { run(); }) {}

ParkedCalls::~ParkedCalls() {
    stop();
}

bool ParkedCalls::reserve(const NodeId& session, Size size) {
    std::lock_guard lock(mutex_);
    if (stopping_)
        return false;
    Held& held = bySession_[session];
    bool sessionRoom =
        held.calls < Limits::kMaxParkedCallsPerSession &&
        held.operations + size.operations <= Limits::kMaxDeviceOperationsPerSession &&
        held.bytes + size.bytes <= Limits::kMaxParkedBytesPerSession;
    bool serverRoom = total_.calls < Limits::kMaxParkedCalls &&
                      total_.operations + size.operations <= Limits::kMaxDeviceOperations &&
                      total_.bytes + size.bytes <= Limits::kMaxParkedBytes;
    if (!sessionRoom || !serverRoom) {
        if (held.calls == 0)
            bySession_.erase(session);
        return false;
    }
    held.calls += 1;
    held.operations += size.operations;
    held.bytes += size.bytes;
    total_.calls += 1;
    total_.operations += size.operations;
    total_.bytes += size.bytes;
    return true;
}

void ParkedCalls::unreserve(const NodeId& session, Size size) {
    std::lock_guard lock(mutex_);
    release(Call{session, size, {}, {}, {}, {}});
}

bool ParkedCalls::allComplete(const Requests& requests) {
    return std::all_of(requests.begin(), requests.end(),
                       [](const auto& request) { return request->isCompleted(); });
}

void ParkedCalls::release(const Call& call) {
    auto it = bySession_.find(call.session);
    if (it != bySession_.end()) {
        Held& held = it->second;
        held.calls -= std::min<size_t>(held.calls, 1);
        held.operations -= std::min(held.operations, call.size.operations);
        held.bytes -= std::min(held.bytes, call.size.bytes);
        if (held.calls == 0)
            bySession_.erase(it);
    }
    total_.calls -= std::min<size_t>(total_.calls, 1);
    total_.operations -= std::min(total_.operations, call.size.operations);
    total_.bytes -= std::min(total_.bytes, call.size.bytes);
}

void ParkedCalls::park(const NodeId& session, Size size, Requests requests,
                       Clock::time_point deadline, Finish finish) {
    auto remaining = std::make_shared<std::atomic<size_t>>(requests.size());
    Requests watched = requests;
    bool stopped;
    {
        std::lock_guard lock(mutex_);
        stopped = stopping_;
        if (stopped)
            release(Call{session, size, {}, deadline, {}, remaining});
        else
            calls_.push_back({session, size, std::move(requests), deadline, finish, remaining});
    }
    if (stopped) {
        finish(Status::kBadShutdown);
        return;
    }
    // Registered after the call is listed; a request the engine completed meanwhile counts at
    // once. The doorbell rings when the call's last request completes.
    for (auto& request : watched)
        request->onCompletion([remaining, doorbell = doorbell_] {
            if (remaining->fetch_sub(1) == 1)
                doorbell->ring();
        });
    doorbell_->ring();
}

void ParkedCalls::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    doorbell_->ring();
    if (thread_.joinable())
        thread_.join();
}

bool ParkedCalls::isStopped() const {
    std::lock_guard lock(mutex_);
    return stopping_;
}

size_t ParkedCalls::count() const {
    std::lock_guard lock(mutex_);
    return calls_.size();
}

size_t ParkedCalls::countOf(const NodeId& session) const {
    std::lock_guard lock(mutex_);
    auto it = bySession_.find(session);
    return it == bySession_.end() ? 0 : it->second.calls;
}

void ParkedCalls::run() {
    while (true) {
        std::vector<std::pair<Finish, StatusCode>> ready;
        Clock::time_point wakeAt = Clock::time_point::max();
        bool stopping;
        {
            std::lock_guard lock(mutex_);
            stopping = stopping_;
            Clock::time_point now = Clock::now();
            for (auto it = calls_.begin(); it != calls_.end();) {
                bool complete = it->remaining->load() == 0;
                bool late = now >= it->deadline;
                if (complete || late || stopping) {
                    ready.emplace_back(std::move(it->finish),
                                       stopping ? Status::kBadShutdown : Status::kBadTimeout);
                    release(*it);
                    it = calls_.erase(it);
                } else {
                    wakeAt = std::min(wakeAt, it->deadline);
                    ++it;
                }
            }
        }
        // Outside the lock: answering takes the toolkit's and the network's locks.
        for (auto& [finish, unfinished] : ready)
            finish(unfinished);
        if (stopping)
            return;
        std::unique_lock lock(doorbell_->mutex);
        if (wakeAt == Clock::time_point::max())
            doorbell_->rang.wait(lock, [this] { return doorbell_->rung; });
        else
            doorbell_->rang.wait_until(lock, wakeAt, [this] { return doorbell_->rung; });
        doorbell_->rung = false;
    }
}

} // namespace vorn::ua
