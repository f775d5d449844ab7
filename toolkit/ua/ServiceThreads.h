// A few threads that run service requests, so that one long request does not hold up the
// others (requests waiting for devices are parked, not run here). The queue is bounded by the
// network layer, which stops reading a connection with too many requests waiting.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vorn::ua {

class ServiceThreads {
public:
    explicit ServiceThreads(size_t count);
    ~ServiceThreads();

    void post(std::function<void()> job);
    // Runs what is queued, then joins; idempotent.
    void stop();

private:
    void run();

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace vorn::ua
