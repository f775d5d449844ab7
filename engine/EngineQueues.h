// The hand-over from the OPC side to the communication thread: client writes, client reads
// from the device and changes of tag activity, each appended under the engine lock by the
// toolkit's threads and taken by the communication thread once the queue has settled.
#pragma once

#include "engine/PolledTag.h"
#include "toolkit/SODaSRequest.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace vorn::modbus {

struct QueuedRequest {
    SOCmnPointer<SODaSRequest> request; // the queue's reference until completion
    SOCmnPointer<PolledTag> tag;
    uint8_t kind = 0;
};

struct ActivationChange {
    bool active = false;
    bool rateChange = false;
    uint32_t updateRate = 0; // milliseconds
    SOCmnPointer<PolledTag> tag;
};

class EngineQueues {
public:
    // The engine lock: guards the queues, the completion of client requests, write
    // preparation and the placing of tags in poll blocks.
    std::mutex& engineLock() { return lock_; }

    // A write or device read of a device in answerAtOnce() is answered here, at once, with
    // that device's failure; nothing is queued.
    void appendWrite(QueuedRequest entry);
    void appendDeviceRead(QueuedRequest entry);
    void appendActivation(ActivationChange change);

    struct Lengths {
        size_t writes = 0;
        size_t deviceReads = 0;
        size_t activations = 0;
    };
    Lengths lengths();

    // Take a whole queue; the caller holds the engine lock.
    std::vector<QueuedRequest> takeWrites() { return std::exchange(writes_, {}); }
    std::vector<QueuedRequest> takeDeviceReads() { return std::exchange(deviceReads_, {}); }
    std::vector<ActivationChange> takeActivations() { return std::exchange(activations_, {}); }

    // The communication thread's word on a device failing at its reduced rate: its clients'
    // reads and writes are answered at arrival with the quality of `code` (the last failure)
    // instead of waiting for a try, which may be under way; 0 ends it (the device answered).
    void answerAtOnce(const PlcDevice& device, int code);

    // Completes what is still queued as given up (E_ABORT: the server stops), so no client
    // waits on it.
    void failAll();

    // The communication thread's wait while nothing is due: ends when something is queued,
    // when wake() is called, or after `timeoutMs`.
    void waitForArrival(uint32_t timeoutMs);
    // Ends a waitForArrival now or, when none is under way, the next one (at stop).
    void wake();

private:
    // Queues `entry`, or answers it at once with `fail` when its device is answered at once.
    void append(std::vector<QueuedRequest>& queue, QueuedRequest entry,
                void (*fail)(QueuedRequest&, int));

    std::mutex lock_;
    std::condition_variable arrival_;
    bool woken_ = false;
    std::vector<QueuedRequest> writes_;
    std::vector<QueuedRequest> deviceReads_;
    std::vector<ActivationChange> activations_;
    std::map<const PlcDevice*, int> answeredAtOnce_; // device: the failure its clients get
};

} // namespace vorn::modbus
