#include "ui/WindowObserver.h"

#include "ConfigFiles.h"
#include "GuiTestRig.h"
#include "platform/MessageBox.h"
#include "ui/ServerMainWindow.h"

#include <QCoreApplication>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

using namespace vorn;
using namespace vorn::test;
using vorn::ui::ServerMainWindow;
using vorn::ui::WindowObserver;

namespace {

constexpr auto kBound = std::chrono::seconds(3);

// A device answering every read with exception 2 (code 65), so the engine reports it.
SimDevice& failingDevice(EngineRig& rig) {
    return rig.addSimulator({"--unit", "1", "--exception", "1:3:2"});
}

void pollTag(EngineRig& rig, SOCmnPointer<SODaSGroup>& group) {
    group = rig.client().addGroup("g", 100);
    rig.client().setActive(*rig.client().addItem(*group, "P1.T"), true);
}

} // namespace

TEST(WindowObserver, TheEnginesReportReachesTheWindowOnTheGuiThread) {
    ServerMainWindow window(ServerKind::tarnvale);
    WindowObserver observer(window);
    EngineRig rig;
    SimDevice& sim = failingDevice(rig);
    rig.start("", plcFor(sim, "P1", tagElement("T", "HREGISTER VT_I2", "1")), &observer);
    observer.watchEngine(*rig.engine());
    window.attachEngine(*rig.engine(), rig.queues());
    SOCmnPointer<SODaSGroup> group;
    pollTag(rig, group);
    EXPECT_TRUE(processEventsUntil([&] { return window.statusText() == "Error 65 on P1\n"; }, 5000))
        << window.statusText().toStdString();
}

TEST(WindowObserver, ANotificationWaitsForTheWindowUntilStopped) {
    ServerMainWindow window(ServerKind::tarnvale);
    WindowObserver observer(window);
    auto device = makeObject<PlcDevice>();
    device->name = "P1";
    // The GUI thread processes no events meanwhile, as while it shuts down.
    auto sent = std::async(std::launch::async, [&] { observer.onCommStatus(4, *device); });
    EXPECT_EQ(sent.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout)
        << "the sender waits for the window";
    observer.stop();
    ASSERT_EQ(sent.wait_for(kBound), std::future_status::ready);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.statusText(), "") << "a notification given up on is dropped";
    // Once stopped, later notifications do not wait at all.
    auto later = std::async(std::launch::async, [&] { observer.onNoDevices(); });
    EXPECT_EQ(later.wait_for(kBound), std::future_status::ready);
}

TEST(WindowObserver, AGoneWindowEndsTheWait) {
    auto window = std::make_unique<ServerMainWindow>(ServerKind::tarnvale);
    WindowObserver observer(*window);
    auto device = makeObject<PlcDevice>();
    device->name = "P1";
    auto sent = std::async(std::launch::async, [&] { observer.onCommStatus(4, *device); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    window.reset();
    EXPECT_EQ(sent.wait_for(kBound), std::future_status::ready);
    QCoreApplication::processEvents();
}

TEST(WindowObserver, StoppingTheEngineEndsAWaitTheGuiThreadNeverServes) {
    ServerMainWindow window(ServerKind::tarnvale);
    WindowObserver observer(window);
    EngineRig rig;
    SimDevice& sim = failingDevice(rig);
    rig.start("", plcFor(sim, "P1", tagElement("T", "HREGISTER VT_I2", "1")), &observer);
    observer.watchEngine(*rig.engine());
    SOCmnPointer<SODaSGroup> group;
    pollTag(rig, group);
    // The tag goes bad just before the engine reports; then the engine waits on the window.
    ASSERT_TRUE(EngineRig::eventually(
        [&] { return rig.client().readFromCache("P1.T").quality == 0x1C; }, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    auto stopped = std::async(std::launch::async, [&] { rig.engine()->stop(); });
    const bool ended = stopped.wait_for(kBound) == std::future_status::ready;
    if (!ended)
        observer.stop(); // let the test end; the failure is already recorded
    EXPECT_TRUE(ended) << "engine stop deadlocked on the window";
    EXPECT_FALSE(rig.engine()->isRunning());
}

TEST(WindowObserver, NoDevicesFromTheEngineWarnsAndClosesTheWindow) {
    ScriptedMessageBox boxes;
    ScopedMessageBoxes installed(boxes);
    ServerMainWindow window(ServerKind::tarnvale);
    window.show();
    WindowObserver observer(window);
    EngineRig rig;
    rig.start("", "", &observer);
    EXPECT_TRUE(processEventsUntil([&] { return !window.isVisible(); }, 5000));
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].caption, "OPC ModBus Server");
}
