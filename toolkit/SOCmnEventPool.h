// A pool of reusable events: popEvent hands one out (reset), pushEvent gives it back.
#pragma once

#include "platform/Event.h"

#include <memory>
#include <mutex>
#include <vector>

namespace vorn {

class SOCmnEventPool {
public:
    std::shared_ptr<Event> popEvent();
    void pushEvent(std::shared_ptr<Event> event);

private:
    std::mutex mutex_;
    std::vector<std::shared_ptr<Event>> free_;
};

SOCmnEventPool& getEventPool();

} // namespace vorn
