#include "GuiTestRig.h"

#include "ConfigFiles.h"

#include <QCoreApplication>
#include <QTreeWidget>
#include <chrono>
#include <thread>

namespace vorn::test {

PlcDevice* engineDevice(EngineRig& rig, size_t index) {
    return rig.engine()->devices().at(index).device.get();
}

bool processEventsUntil(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

void startPlant(EngineRig& rig, modbus::EngineObserver* reportTo) {
    SimDevice& sim =
        rig.addSimulator({"--unit", "1", "--set", "hr:100=0x3FC0", "--set", "hr:101=0", "--set",
                          "coil:0=1", "--set", "coil:1=0", "--set", "di:0..15=1"});
    rig.start(datatypeRow("COIL", 1, 15, 5) + datatypeRow("INPUTSTATUS", 2, 0, 0),
              plcFor(sim, "P1",
                     tagElement("Level", "HREGISTER VT_R4", "100") +
                         tagElement("Spare", "HREGISTER VT_I2", "109") +
                         tagElement("Run", "COIL VT_BOOL", "0") +
                         tagElement("Stop", "COIL VT_BOOL", "1") +
                         tagElement("Inputs", "INPUTSTATUS ARRAY", "0", "<elements>16</elements>")),
              reportTo);
    auto group = rig.client().addGroup("plant", 100);
    const char* ids[] = {"P1.Level", "P1.Spare", "P1.Run", "P1.Stop", "P1.Inputs"};
    for (const char* id : ids)
        rig.client().setActive(*rig.client().addItem(*group, id), true);
    EngineRig::eventually(
        [&] {
            for (const char* id : ids)
                if (rig.client().readFromCache(id).quality != 0xC0)
                    return false;
            return true;
        },
        5000);
}

QTreeWidgetItem* findItem(const QTreeWidget& tree, const std::string& text) {
    const auto found =
        tree.findItems(QString::fromStdString(text), Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.front();
}

std::vector<std::string> childTexts(const QTreeWidgetItem& item) {
    std::vector<std::string> texts;
    for (int i = 0; i < item.childCount(); ++i)
        texts.push_back(item.child(i)->text(0).toStdString());
    return texts;
}

} // namespace vorn::test
