#include "ServerEventHandler.h"

namespace vorn {

void ServerEventHandler::onReleasedLastOPCObject() {
    {
        std::lock_guard lock(mutex_);
        if (shutdownEvent_)
            shutdownEvent_->set();
    }
    if (embedded_ && closeMainWindow_)
        closeMainWindow_();
}

void ServerEventHandler::setShutdownEvent(std::shared_ptr<Event> event) {
    std::lock_guard lock(mutex_);
    shutdownEvent_ = std::move(event);
}

} // namespace vorn
