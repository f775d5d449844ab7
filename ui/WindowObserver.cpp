#include "WindowObserver.h"

#include "ServerMainWindow.h"
#include "engine/CommThread.h"

#include <QCoreApplication>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vorn::ui {

// One notification on its way to the GUI thread; shared by both threads, so that either may
// be the last to let go of it.
struct WindowObserver::Delivery {
    std::mutex mutex;
    std::condition_variable done;
    bool handled = false;
    bool abandoned = false; // the sender stopped waiting; the window must not handle it late
};

WindowObserver::WindowObserver(ServerMainWindow& window)
    : window_(&window), windowGone_(std::make_shared<std::atomic<bool>>(false)) {
    // Emitted on the GUI thread as the window goes; a waiting sender sees the flag.
    QObject::connect(&window, &QObject::destroyed, [gone = windowGone_] { gone->store(true); });
}

WindowObserver::~WindowObserver() {
    stop();
}

void WindowObserver::watchEngine(const modbus::CommThread& engine) {
    engine_.store(&engine);
}

void WindowObserver::stop() {
    stopped_.store(true);
}

bool WindowObserver::shuttingDown() const {
    if (stopped_.load() || windowGone_->load())
        return true;
    const modbus::CommThread* engine = engine_.load();
    return engine && engine->isStopping();
}

template <typename Handler> void WindowObserver::deliver(Handler handler) {
    QCoreApplication* app = QCoreApplication::instance();
    if (shuttingDown() || !app)
        return;
    if (QThread::currentThread() == app->thread()) {
        if (ServerMainWindow* window = window_.data())
            handler(*window); // already on the GUI thread: nothing to wait for
        return;
    }
    auto delivery = std::make_shared<Delivery>();
    // Posted to the application, which outlives the window; the window itself is looked at
    // only on the GUI thread.
    QMetaObject::invokeMethod(
        app,
        [delivery, handler, window = window_] {
            {
                std::lock_guard lock(delivery->mutex);
                if (delivery->abandoned)
                    return;
            }
            if (window)
                handler(*window);
            std::lock_guard lock(delivery->mutex);
            delivery->handled = true;
            delivery->done.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(delivery->mutex);
    while (!delivery->handled) {
        if (shuttingDown()) {
            delivery->abandoned = true;
            return;
        }
        delivery->done.wait_for(lock, std::chrono::milliseconds(kStopCheckMs));
    }
}

void WindowObserver::onCommStatus(int code, PlcDevice& device) {
    // Held by the posted call, so the device outlives a notification handled late.
    SOCmnPointer<PlcDevice> held = SOCmnPointer<PlcDevice>::share(&device);
    deliver([code, held](ServerMainWindow& window) { window.showCommStatus(code, held.get()); });
}

void WindowObserver::onNoDevices() {
    deliver([](ServerMainWindow& window) { window.showNoDevices(); });
}

} // namespace vorn::ui
