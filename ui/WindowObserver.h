// Brings the engine's notifications to the main window on the GUI thread. The communication
// thread waits until the window has handled each one, as a synchronous window message would
// make it, but gives up once shutdown has begun: when the engine is stopping, when stop() was
// called, or when the window is gone. A notification given up on is dropped.
#pragma once

#include "engine/EngineObserver.h"

#include <QPointer>
#include <atomic>
#include <memory>

namespace vorn::modbus {
class CommThread;
}

namespace vorn::ui {

class ServerMainWindow;

class WindowObserver : public modbus::EngineObserver {
public:
    // How often a waiting communication thread looks at the stop conditions.
    static constexpr int kStopCheckMs = 20;

    explicit WindowObserver(ServerMainWindow& window);
    ~WindowObserver() override;
    WindowObserver(const WindowObserver&) = delete;
    WindowObserver& operator=(const WindowObserver&) = delete;

    // Waits end when this engine is stopping (the engine is created after the observer).
    void watchEngine(const modbus::CommThread& engine);
    // Ends every wait now and lets later notifications return at once.
    void stop();

    void onCommStatus(int code, PlcDevice& device) override;
    void onNoDevices() override;

private:
    struct Delivery;
    template <typename Handler> void deliver(Handler handler);
    bool shuttingDown() const;

    QPointer<ServerMainWindow> window_; // copied to the GUI thread, dereferenced there only
    std::shared_ptr<std::atomic<bool>> windowGone_;
    std::atomic<const modbus::CommThread*> engine_{nullptr};
    std::atomic<bool> stopped_{false};
};

} // namespace vorn::ui
