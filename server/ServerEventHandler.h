// The server's toolkit event handler: when the clients have released the last OPC object,
// it signals the shutdown under way (if any) and, in a server started on demand, closes the
// main window, which ends the process.
#pragma once

#include "platform/Event.h"
#include "toolkit/SOSrvEventHandler.h"

#include <functional>
#include <memory>
#include <mutex>

namespace vorn {

class ServerEventHandler : public SOSrvEventHandler {
public:
    ServerEventHandler(bool embedded, std::function<void()> closeMainWindow)
        : embedded_(embedded), closeMainWindow_(std::move(closeMainWindow)) {}

    void onReleasedLastOPCObject() override;
    // The event a shutdown waits on; none outside a shutdown.
    void setShutdownEvent(std::shared_ptr<Event> event);

private:
    const bool embedded_;
    std::function<void()> closeMainWindow_;
    std::mutex mutex_;
    std::shared_ptr<Event> shutdownEvent_;
};

} // namespace vorn
