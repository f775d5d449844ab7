#include "SOCmnEventPool.h"

namespace vorn {

std::shared_ptr<Event> SOCmnEventPool::popEvent() {
    std::lock_guard lock(mutex_);
    if (free_.empty())
        return std::make_shared<Event>(Event::Reset::automatic);
    std::shared_ptr<Event> event = std::move(free_.back());
    free_.pop_back();
    event->reset();
    return event;
}

void SOCmnEventPool::pushEvent(std::shared_ptr<Event> event) {
    if (!event)
        return;
    std::lock_guard lock(mutex_);
    free_.push_back(std::move(event));
}

SOCmnEventPool& getEventPool() {
    static SOCmnEventPool pool;
    return pool;
}

} // namespace vorn
