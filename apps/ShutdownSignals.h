// SIGTERM and SIGINT close the main window, so that a server run as a service or from a
// terminal shuts down the same way as when the user chooses "Exit".
#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

namespace vorn {

class ShutdownSignals : public QObject {
    Q_OBJECT
public:
    explicit ShutdownSignals(QWidget& window);
    ~ShutdownSignals() override;

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace vorn
