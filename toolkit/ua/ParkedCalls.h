// Read and Write requests that wait for the engine (device reads and writes), parked so that
// they hold no service thread while the devices answer: requests that need no device are
// served at once whatever a client keeps outstanding. A parked call is answered by one thread
// of its own once all its toolkit requests are complete, its deadline has passed or the server
// stops. What one session and all sessions together may keep parked is bounded.
#pragma once

#include "toolkit/SODaSRequest.h"
#include "toolkit/ua/UaStatusCodes.h"
#include "toolkit/ua/UaTypes.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace vorn::ua {

class ParkedCalls {
public:
    using Clock = std::chrono::steady_clock;
    using Requests = std::vector<SOCmnPointer<SODaSRequest>>;
    // Builds and sends the call's answer. Requests not complete by then take `unfinished`:
    // BadTimeout after the deadline, BadShutdown when the server stops.
    using Finish = std::function<void(StatusCode unfinished)>;

    // What one call holds: its toolkit requests and the bytes of its request.
    struct Size {
        size_t operations = 0;
        size_t bytes = 0;
    };

    ParkedCalls();
    ~ParkedCalls();
    ParkedCalls(const ParkedCalls&) = delete;
    ParkedCalls& operator=(const ParkedCalls&) = delete;

    // Takes room for a call of the session, to be parked next; false when the session or the
    // server holds as much as it may (BadTooManyOperations), or once stopped (BadShutdown).
    [[nodiscard]] bool reserve(const NodeId& session, Size size);
    // Gives the room back when the call needs no parking after all (its requests completed as
    // they were handed over).
    void unreserve(const NodeId& session, Size size);
    // True when every request is complete.
    static bool allComplete(const Requests& requests);
    // Parks a call whose room was reserved and whose requests were handed to their tags.
    void park(const NodeId& session, Size size, Requests requests, Clock::time_point deadline,
              Finish finish);
    // Ends every parked call (BadShutdown) and joins the thread; idempotent. Called when the
    // server begins to shut down, so that no call waits for a device meanwhile.
    void stop();
    bool isStopped() const;

    size_t count() const;
    size_t countOf(const NodeId& session) const;

private:
    struct Call {
        NodeId session;
        Size size;
        Requests requests;
        Clock::time_point deadline;
        Finish finish;
        // Requests not yet complete, counted down by their completions.
        std::shared_ptr<std::atomic<size_t>> remaining;
    };
    struct Held {
        size_t calls = 0;
        size_t operations = 0;
        size_t bytes = 0;
    };
    // Rung by the engine's thread when a request completes. Shared, since the engine may
    // complete a request after this object has gone.
    struct Doorbell {
        std::mutex mutex;
        std::condition_variable rang;
        bool rung = false;
        void ring();
    };

    void run();
    // Under the lock: gives back what a call held.
    void release(const Call& call);

    std::shared_ptr<Doorbell> doorbell_ = std::make_shared<Doorbell>();
    mutable std::mutex mutex_;
    std::list<Call> calls_;
    std::unordered_map<NodeId, Held, NodeIdHash> bySession_;
    Held total_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace vorn::ua
