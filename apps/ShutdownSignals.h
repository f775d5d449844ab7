// SIGTERM and SIGINT close the main window, so that a server run as a service or from a
// terminal shuts down the same way as when the user chooses "Exit". SIGHUP (systemctl reload)
// runs `reload` on the event loop.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;
class QWidget;

namespace vorn {

class ShutdownSignals : public QObject {
    Q_OBJECT
public:
    explicit ShutdownSignals(QWidget& window, std::function<void()> reload = {});
    ~ShutdownSignals() override;

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace vorn
