#include "ServiceThreads.h"

namespace vorn::ua {

ServiceThreads::ServiceThreads(size_t count) {
    for (size_t i = 0; i < count; ++i)
        threads_.emplace_back([this] { run(); });
}

ServiceThreads::~ServiceThreads() {
    stop();
}

void ServiceThreads::post(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_)
            return;
        jobs_.push_back(std::move(job));
    }
    ready_.notify_one();
}

void ServiceThreads::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    ready_.notify_all();
    for (auto& t : threads_)
        if (t.joinable())
            t.join();
    threads_.clear();
}

void ServiceThreads::run() {
    std::unique_lock lock(mutex_);
    while (true) {
        ready_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty())
            return;
        auto job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
}

} // namespace vorn::ua
