#include "Event.h"

#include <chrono>

namespace vorn {

void Event::set() {
    {
        std::lock_guard lock(mutex_);
        set_ = true;
    }
    if (manual_)
        changed_.notify_all();
    else
        changed_.notify_one();
}

void Event::reset() {
    std::lock_guard lock(mutex_);
    set_ = false;
}

bool Event::wait(uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    auto isSignalled = [this] { return set_; };
    if (timeoutMs == kInfinite)
        changed_.wait(lock, isSignalled);
    else if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), isSignalled))
        return false;
    if (!manual_)
        set_ = false;
    return true;
}

bool Event::isSet() const {
    std::lock_guard lock(mutex_);
    return set_;
}

} // namespace vorn
