// The servers' main window: a small window at the top of the screen with one status line per
// device, on which the last reported communication error stands against its device, and the
// menus that open the status dialog, switch the serial server's log and show the about box.
// Closing it (or "Exit") ends the event loop; the process then shuts the server down.
#pragma once

#include "config/PlcDevice.h"
#include "config/ServerProfile.h"
#include "ui/EngineStatusReader.h"

#include <QMainWindow>
#include <functional>

class QAction;
class QMenu;

namespace vorn::modbus {
class CommThread;
class CommLog;
class EngineQueues;
} // namespace vorn::modbus

namespace vorn::ui {

class StatusTextView;

class ServerMainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int kWidth = 506;
    static constexpr int kHeight = 100;

    explicit ServerMainWindow(ServerKind kind, QWidget* parent = nullptr);

    // The running engine: its devices give the status lines, its error texts their wording,
    // and the status dialog reads its blocks under the engine lock of `queues`.
    void attachEngine(const modbus::CommThread& engine, modbus::EngineQueues& queues);
    // Polling per connection: every worker, whose devices all get their lines, in the
    // workers' order.
    void attachEngines(std::vector<EngineSource> engines);
    // The serial server's communication log, switched by "Log on File"; `onSwitched` hears each
    // flip (the server remembers it).
    void attachCommLog(modbus::CommLog& log, std::function<void(bool on)> onSwitched = {});

    // "Reload Configuration" in the File menu, above "Exit": asks `reload` to apply the
    // changed configuration file.
    void attachReload(std::function<void()> reload);

    // MSG_COMM_STATUS: rebuilds the status lines for `code` on `device` (0 clears).
    void showCommStatus(int code, const PlcDevice* device);
    // MSG_NO_DEVICES: tells the user there is nothing to serve, then closes the window.
    void showNoDevices();

    QString statusText() const;
    ServerKind kind() const { return kind_; }

public slots:
    void openCommStatus();
    void openAbout();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void syncLogCheckMark();

    const ServerKind kind_;
    StatusTextView* view_;
    QAction* logOnFile_ = nullptr; // serial server only
    QMenu* fileMenu_ = nullptr;
    QAction* exitSeparator_ = nullptr;
    std::vector<EngineSource> engines_;
    modbus::CommLog* commLog_ = nullptr;
    std::function<void(bool)> onLogSwitched_;
};

} // namespace vorn::ui
