#include "ConfigFiles.h"
#include "GuiTestRig.h"
#include "ScopedEnv.h"
#include "modbus/rtu/CommLog.h"
#include "modbus/rtu/CommLogSettings.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "ui/ServerMainWindow.h"
#include "ui/StatusTextView.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::test;
using vorn::ui::ServerMainWindow;

namespace {

// A rig with three devices P1, P2, P3 on one simulator, none polled, and error texts.
void startThreeDevices(EngineRig& rig) {
    SimDevice& sim = rig.addSimulator();
    rig.dir.write("Tarnvale.dat", "0004 No answer\r\nFFFF\r\n");
    const std::string tag = tagElement("T", "HREGISTER VT_I2", "1");
    rig.start("", plcFor(sim, "P1", tag) + plcFor(sim, "P2", tag) + plcFor(sim, "P3", tag));
}

std::vector<std::string> menuTexts(const QMenu& menu) {
    std::vector<std::string> texts;
    for (const QAction* action : menu.actions())
        texts.push_back(action->isSeparator() ? "-" : action->text().toStdString());
    return texts;
}

QMenu* menuNamed(const ServerMainWindow& window, const char* title) {
    for (QAction* action : window.menuBar()->actions())
        if (action->text() == title)
            return action->menu();
    return nullptr;
}

QAction* actionNamed(const ServerMainWindow& window, const char* menu, const char* text) {
    for (QAction* action : menuNamed(window, menu)->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

// Runs the event loop until the window ends it; 99 when it has not after 5 s.
int runLoopWith(const std::function<void()>& action) {
    QTimer::singleShot(0, action);
    QTimer giveUp; // stopped with the loop, so it cannot end a later one
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    giveUp.start(5000);
    return QCoreApplication::exec();
}

} // namespace

TEST(MainWindow, AnErrorStandsOnItsDevicesLineAndCodeZeroBlanksEveryLine) {
    EngineRig rig;
    startThreeDevices(rig);
    ServerMainWindow window(ServerKind::tarnvale);
    window.attachEngine(*rig.engine(), rig.queues());
    PlcDevice* second = engineDevice(rig, 1);

    window.showCommStatus(4, second);
    EXPECT_EQ(window.statusText(), "\nNo answer on P2\n\n");
    window.showCommStatus(0, second);
    EXPECT_EQ(window.statusText(), "\n\n\n");

    window.showCommStatus(52, engineDevice(rig, 2));
    EXPECT_EQ(window.statusText(), "\n\nError 52 on P3\n") << "a code without a text";
    auto stranger = makeObject<PlcDevice>();
    stranger->name = "P9";
    window.showCommStatus(4, stranger.get());
    EXPECT_EQ(window.statusText(), "\n\n\n") << "a device not in the list blanks every line";
}

TEST(MainWindow, PollingPerConnectionEveryWorkersDevicesHaveTheirLines) {
    EngineRig first;
    startThreeDevices(first);
    EngineRig second;
    SimDevice& sim = second.addSimulator();
    second.start("", plcFor(sim, "P4", tagElement("T", "HREGISTER VT_I2", "1")));
    ServerMainWindow window(ServerKind::tarnvale);
    window.attachEngines({{first.engine(), &first.queues().engineLock()},
                          {second.engine(), &second.queues().engineLock()}});

    window.showCommStatus(4, engineDevice(second, 0));
    EXPECT_EQ(window.statusText(), "\n\n\nNo answer on P4\n");
    window.showCommStatus(4, engineDevice(first, 1));
    EXPECT_EQ(window.statusText(), "\nNo answer on P2\n\n\n");
}

TEST(MainWindow, TheStatusLineIsDrawnCentredBelowTheTopMargin) {
    EngineRig rig;
    startThreeDevices(rig);
    ServerMainWindow window(ServerKind::tarnvale);
    window.attachEngine(*rig.engine(), rig.queues());
    window.show();
    window.showCommStatus(4, engineDevice(rig, 0));
    auto* view = window.findChild<ui::StatusTextView*>();
    ASSERT_NE(view, nullptr);
    const QImage image = view->grab().toImage();
    const QRgb background = image.pixel(0, image.height() - 1);
    int top = image.height(), left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background) {
                top = std::min(top, y);
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_GE(right, 0) << "nothing drawn";
    EXPECT_GE(top, ui::StatusTextView::kTopMargin);
    EXPECT_LT(top, ui::StatusTextView::kTopMargin + ui::StatusTextView::kFontPixels);
    EXPECT_NEAR(left, image.width() - 1 - right, 3) << "the line is centred";
}

TEST(MainWindow, TitleSizeAndMenusFollowTheServerKind) {
    ServerMainWindow tcp(ServerKind::tarnvale);
    EXPECT_EQ(tcp.windowTitle(), "Vorn ModBus Tcp/Ip OPC DA Server");
    EXPECT_EQ(tcp.size(), QSize(ServerMainWindow::kWidth, ServerMainWindow::kHeight));
    EXPECT_EQ(tcp.pos().y(), 0);
    EXPECT_FALSE(tcp.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(tcp.windowFlags() & Qt::WindowMinimizeButtonHint);
    ASSERT_NE(menuNamed(tcp, "&File"), nullptr);
    ASSERT_NE(menuNamed(tcp, "&Help"), nullptr);
    EXPECT_EQ(menuTexts(*menuNamed(tcp, "&File")),
              (std::vector<std::string>{"Comm. Status ...", "-", "E&xit"}));
    EXPECT_EQ(menuTexts(*menuNamed(tcp, "&Help")), std::vector<std::string>{"&About ..."});

    ServerMainWindow rtu(ServerKind::rennick);
    EXPECT_EQ(rtu.windowTitle(), "Vorn ModBus Serial-RTU OPC DA Server");
    ASSERT_NE(menuNamed(rtu, "&File"), nullptr);
    EXPECT_EQ(menuTexts(*menuNamed(rtu, "&File")),
              (std::vector<std::string>{"Comm. Status ...", "Log on File", "-", "E&xit"}));
}

TEST(MainWindow, ReloadConfigurationAsksTheServerOnceAttached) {
    ServerMainWindow window(ServerKind::tarnvale);
    int reloads = 0;
    window.attachReload([&reloads] { ++reloads; });
    EXPECT_EQ(
        menuTexts(*menuNamed(window, "&File")),
        (std::vector<std::string>{"Comm. Status ...", "&Reload Configuration", "-", "E&xit"}));
    actionNamed(window, "&File", "&Reload Configuration")->trigger();
    EXPECT_EQ(reloads, 1);
}

TEST(MainWindow, LogOnFileShowsTheLogSwitchStartingUnchecked) {
    ScratchDir dir;
    modbus::CommLog log(dir.path());
    ServerMainWindow window(ServerKind::rennick);
    window.attachCommLog(log);
    QAction* logOnFile = actionNamed(window, "&File", "Log on File");
    ASSERT_NE(logOnFile, nullptr);
    EXPECT_TRUE(logOnFile->isCheckable());
    EXPECT_FALSE(logOnFile->isChecked());

    logOnFile->trigger();
    EXPECT_TRUE(log.enabled());
    emit menuNamed(window, "&File")->aboutToShow();
    EXPECT_TRUE(logOnFile->isChecked());
    logOnFile->trigger();
    EXPECT_FALSE(log.enabled());
    emit menuNamed(window, "&File")->aboutToShow();
    EXPECT_FALSE(logOnFile->isChecked());

    log.setEnabled(true); // switched elsewhere: the mark follows when the menu opens
    emit menuNamed(window, "&File")->aboutToShow();
    EXPECT_TRUE(logOnFile->isChecked());

    ServerMainWindow restarted(ServerKind::rennick);
    modbus::CommLog freshLog(dir.path());
    restarted.attachCommLog(freshLog);
    EXPECT_FALSE(actionNamed(restarted, "&File", "Log on File")->isChecked());
}

// The registry switched the log on at start: the entry shows it, and each flip is remembered
// in the registry (CommLog), so the setting and the menu never disagree.
TEST(MainWindow, LogOnFileFollowsTheRegistrysSwitchAndStoresEachFlip) {
    ScratchDir dir;
    Registry registry(dir.file("registry.ini"));
    const std::string key = "SOFTWARE\\VornAutomation\\Rennick";
    registry.writeString(key, "CommLog", "1");
    const modbus::CommLogSettings settings = modbus::readCommLogSettings(registry, key);
    modbus::CommLog log(settings.folder);
    log.setEnabled(settings.enabled);
    ServerMainWindow window(ServerKind::rennick);
    window.attachCommLog(log, [&](bool on) { modbus::storeCommLogSwitch(registry, key, on); });
    QAction* logOnFile = actionNamed(window, "&File", "Log on File");
    ASSERT_NE(logOnFile, nullptr);
    EXPECT_TRUE(logOnFile->isChecked());
    logOnFile->trigger();
    EXPECT_FALSE(log.enabled());
    EXPECT_EQ(registry.readString(key, "CommLog"), "0");
    logOnFile->trigger();
    EXPECT_EQ(registry.readString(key, "CommLog"), "1");
}

TEST(MainWindow, RightAndMiddleClicksChangeNothing) {
    EngineRig rig;
    startThreeDevices(rig);
    ServerMainWindow window(ServerKind::tarnvale);
    window.attachEngine(*rig.engine(), rig.queues());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.showCommStatus(4, engineDevice(rig, 1));
    const QString before = window.statusText();
    const auto topLevels = QApplication::topLevelWidgets().size();
    auto* view = window.findChild<ui::StatusTextView*>();
    for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        QTest::mouseClick(view, button, {}, QPoint(250, 20));
        QTest::mouseClick(&window, button, {}, QPoint(250, 20));
        QCoreApplication::processEvents();
        EXPECT_EQ(window.statusText(), before);
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "no context menu opens";
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_EQ(QApplication::topLevelWidgets().size(), topLevels);
        EXPECT_TRUE(window.isVisible());
    }
}

TEST(MainWindow, NoDevicesWarnsAndClosesTheWindow) {
    ScriptedMessageBox boxes;
    ScopedMessageBoxes installed(boxes);
    ServerMainWindow window(ServerKind::tarnvale);
    window.show();
    EXPECT_EQ(runLoopWith([&] { window.showNoDevices(); }), 0) << "closing ends the loop";
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, "No ModBus PLC configured. OPC Server being closed.");
    EXPECT_EQ(boxes.shown()[0].caption, "OPC ModBus Server");
    EXPECT_EQ(boxes.shown()[0].icon, MessageIcon::warning);
    EXPECT_EQ(boxes.shown()[0].buttons, MessageButtons::ok);
    EXPECT_FALSE(window.isVisible());
}

TEST(MainWindow, ExitAndClosingEndTheEventLoop) {
    ServerMainWindow exiting(ServerKind::tarnvale);
    exiting.show();
    QAction* exit = actionNamed(exiting, "&File", "E&xit");
    ASSERT_NE(exit, nullptr);
    EXPECT_EQ(runLoopWith([&] { exit->trigger(); }), 0);
    EXPECT_FALSE(exiting.isVisible());

    ServerMainWindow closing(ServerKind::rennick);
    closing.show();
    EXPECT_EQ(runLoopWith([&] { closing.close(); }), 0);
}

TEST(MainWindow, WithoutADisplayTheWindowLeavesStatusLinesToTheDeviceLog) {
    EngineRig rig;
    startThreeDevices(rig);
    ServerMainWindow window(ServerKind::tarnvale);
    window.attachEngine(*rig.engine(), rig.queues());
    ScopedEnv headless("VORN_HEADLESS", "1");
    testing::internal::CaptureStderr();
    window.showCommStatus(4, engineDevice(rig, 1));
    window.showCommStatus(0, engineDevice(rig, 1));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the message stream is no log";
    EXPECT_EQ(window.statusText(), "\n\n\n");
}
