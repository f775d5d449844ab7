#include "ReloadThread.h"

namespace vorn {

ReloadThread::ReloadThread(std::function<void()> reload)
    : reload_(std::move(reload)), thread_([this] { run(); }) {}

ReloadThread::~ReloadThread() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void ReloadThread::request() {
    {
        std::lock_guard lock(mutex_);
        pending_ = true;
    }
    wake_.notify_all();
}

void ReloadThread::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return pending_ || ending_; });
        if (ending_)
            return;
        pending_ = false;
        lock.unlock();
        reload_();
        lock.lock();
    }
}

} // namespace vorn
