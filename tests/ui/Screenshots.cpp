// Renders the main window with one error line and the status dialog with a selected block to
// PNG files in the folder given (default /tmp), to look at them on a real X server:
//   xvfb-run -a ui_screenshots /tmp
#include "GuiTestRig.h"
#include "ui/CommStatusDialog.h"
#include "ui/ServerMainWindow.h"

#include <QApplication>
#include <QTreeWidget>
#include <cstdio>

using namespace vorn;
using namespace vorn::test;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? argv[1] : "/tmp";

    EngineRig rig;
    rig.dir.write("Tarnvale.dat", "0004 No answer\r\nFFFF\r\n");
    startPlant(rig);

    ui::ServerMainWindow window(ServerKind::tarnvale);
    window.attachEngine(*rig.engine(), rig.queues());
    window.show();
    window.showCommStatus(4, engineDevice(rig, 0));
    processEventsUntil([] { return false; }, 300);
    const QString windowPng = folder + "/vorn-main-window.png";
    window.grab().save(windowPng);

    ui::CommStatusDialog dialog(*rig.engine(), rig.queues(), &window);
    dialog.show();
    if (QTreeWidgetItem* block = findItem(*dialog.networkTree(), "HREG100-LEN10"))
        dialog.networkTree()->setCurrentItem(block);
    processEventsUntil([] { return false; }, 300);
    const QString dialogPng = folder + "/vorn-comm-status.png";
    dialog.grab().save(dialogPng);

    std::printf("%s\n%s\n", qPrintable(windowPng), qPrintable(dialogPng));
    return 0;
}
