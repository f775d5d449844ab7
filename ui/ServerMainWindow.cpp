#include "ServerMainWindow.h"

#include "AboutDialog.h"
#include "CommStatusDialog.h"
#include "ServerTexts.h"
#include "StatusText.h"
#include "StatusTextView.h"
#include "engine/CommThread.h"
#include "modbus/rtu/CommLog.h"
#include "platform/MessageBox.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QThread>

namespace vorn::ui {

ServerMainWindow::ServerMainWindow(ServerKind kind, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      kind_(kind), view_(new StatusTextView(this)) {
    setObjectName("serverMainWindow");
    setWindowTitle(textsOf(kind).windowTitle);
    setCentralWidget(view_);
    setContextMenuPolicy(Qt::NoContextMenu);
    buildMenus();
    resize(kWidth, kHeight);
    // At the top of the screen, centred across it.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int left = screen ? screen->availableGeometry().center().x() - kWidth / 2 : 0;
    move(left, 0);
}

void ServerMainWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu("&File");
    fileMenu_ = file;
    connect(file->addAction("Comm. Status ..."), &QAction::triggered, this,
            &ServerMainWindow::openCommStatus);
    if (kind_ == ServerKind::rennick) {
        logOnFile_ = file->addAction("Log on File");
        logOnFile_->setCheckable(true);
        logOnFile_->setChecked(false);
        connect(logOnFile_, &QAction::triggered, this, [this] {
            if (commLog_) {
                commLog_->setEnabled(!commLog_->enabled());
                if (onLogSwitched_)
                    onLogSwitched_(commLog_->enabled());
            }
            syncLogCheckMark();
        });
        // The mark shows the switch as it is whenever the menu opens.
        connect(file, &QMenu::aboutToShow, this, &ServerMainWindow::syncLogCheckMark);
    }
    exitSeparator_ = file->addSeparator();
    connect(file->addAction("E&xit"), &QAction::triggered, this, &QWidget::close);

    QMenu* help = menuBar()->addMenu("&Help");
    connect(help->addAction("&About ..."), &QAction::triggered, this, &ServerMainWindow::openAbout);
}

void ServerMainWindow::syncLogCheckMark() {
    if (logOnFile_)
        logOnFile_->setChecked(commLog_ && commLog_->enabled());
}

void ServerMainWindow::attachEngine(const modbus::CommThread& engine,
                                    modbus::EngineQueues& queues) {
    attachEngines({{&engine, &queues.engineLock()}});
}

void ServerMainWindow::attachEngines(std::vector<EngineSource> engines) {
    engines_ = std::move(engines);
}

void ServerMainWindow::attachCommLog(modbus::CommLog& log, std::function<void(bool)> onSwitched) {
    commLog_ = &log;
    onLogSwitched_ = std::move(onSwitched);
    syncLogCheckMark();
}

void ServerMainWindow::attachReload(std::function<void()> reload) {
    auto* action = new QAction("&Reload Configuration", this);
    fileMenu_->insertAction(exitSeparator_, action);
    connect(action, &QAction::triggered, this, std::move(reload));
}

void ServerMainWindow::showCommStatus(int code, const PlcDevice* device) {
    std::vector<const PlcDevice*> devices;
    ErrorTextLookup lookup;
    // An engine's device list changes only in a reload, on the communication thread, which
    // is waiting for this call meanwhile.
    for (const EngineSource& source : engines_)
        for (const modbus::EngineDevice& engineDevice : source.engine->devices())
            devices.push_back(engineDevice.device.get());
    if (!engines_.empty()) // every worker reads the same error-text file
        lookup = [engine = engines_.front().engine](int c) { return engine->errorText(c); };
    view_->setText(QString::fromStdString(ui::statusText(devices, code, device, lookup)));
}

void ServerMainWindow::showNoDevices() {
    messageBoxes().show(this, kNoDevicesText, kNoDevicesCaption, MessageIcon::warning,
                        MessageButtons::ok);
    close();
}

QString ServerMainWindow::statusText() const {
    return view_->text();
}

void ServerMainWindow::openCommStatus() {
    if (engines_.empty())
        return;
    CommStatusDialog dialog(engines_, this);
    dialog.exec();
}

void ServerMainWindow::openAbout() {
    AboutDialog about(kind_, this);
    about.exec();
}

void ServerMainWindow::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    // Ends the server's event loop. Only while one runs: exit() without a loop would make the
    // next modal dialog return at once.
    if (event->isAccepted() && QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(0);
}

} // namespace vorn::ui
