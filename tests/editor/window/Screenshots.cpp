// Renders Quillmar's main window with a sample configuration opened, its list in report view
// and in large-icon view, the unit dialog of each server kind, the Modbus type dialog, the
// item dialog with its group panel open and the replace grid of a names paste for three items,
// to PNG files in the folder given (default /tmp), to look at them on a real X server:
//   xvfb-run -a quillmar_screenshots /tmp
#include "ScriptedFileDialogs.h"
#include "editor/BulkReplace.h"
#include "editor/EditorSession.h"
#include "editor/window/frmEditing.h"
#include "editor/window/frmItems.h"
#include "editor/window/frmModBus.h"
#include "editor/window/frmPLC.h"
#include "editor/window/frmReplace.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <filesystem>

using namespace vorn;
using namespace vorn::editor;

namespace {

void settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? argv[1] : "/tmp";
    const std::string sample =
        std::filesystem::canonical(std::string(EDITOR_TEST_DATA) + "/roundtrip_tarnvale.xml")
            .string();
    const std::string scratch =
        (std::filesystem::temp_directory_path() / "quillmar-shots").string();
    std::filesystem::create_directories(scratch);

    ScriptedMessageBox boxes;
    ScopedMessageBoxes useBoxes(boxes);
    test::ScriptedFileDialogs dialogs;
    dialogs.queue(sample);
    frmEditing window(dialogs, scratch, Registry(scratch + "/registry.ini"));
    window.show();
    window.action("mnuOpenCfg")->trigger();
    if (TreeNode* pumps = window.session().state().tree.find("P1.Pumps"))
        window.selectNode(*pumps);
    settle(300);
    const QString report = folder + "/quillmar-report.png";
    window.grab().save(report);

    window.action("mnuIcon")->trigger();
    settle(300);
    const QString icons = folder + "/quillmar-icons.png";
    window.grab().save(icons);

    QStringList shots{report, icons};
    auto shoot = [&](QWidget& dialog, const QString& name) {
        dialog.show();
        settle(200);
        shots << folder + "/" + name;
        dialog.grab().save(shots.last());
        dialog.close();
    };
    frmPLC tcpUnit(window.session(), window.session().state().tree.find("P2"), &window);
    shoot(tcpUnit, "quillmar-unit-tarnvale.png");
    frmModBus type(window.session(), "holding register", &window);
    shoot(type, "quillmar-modbus-type.png");

    // A group of signed 32-bit items about to be added below P1.Pumps.
    window.session().state().tree.select(window.session().state().tree.find("P1.Pumps"));
    frmItems items(window.session().state(), nullptr, nullptr, &window);
    items.findChild<QLineEdit*>("txtItemName")->setText("Flow_1");
    items.findChild<QLineEdit*>("txtComment")->setText("flow meter 1");
    auto* modbusTypes = items.findChild<QComboBox*>("cmbModbusType");
    modbusTypes->setCurrentIndex(modbusTypes->findText("holding register"));
    items.findChild<QComboBox*>("cmbDataType")->setCurrentText("signed 32 bit");
    items.findChild<QLineEdit*>("txtAddress")->setText("200");
    items.findChild<QComboBox*>("cmbAccessRight")->setCurrentText("READ");
    items.findChild<QPushButton*>("cmdGroup")->click();
    items.findChild<QLineEdit*>("txtNumbItems")->setText("20");
    shoot(items, "quillmar-item-group.png");

    // Three names pasted over T1 to T3 of P1.Pumps (the branch selected above).
    if (TreeNode* pumps = window.session().state().tree.find("P1.Pumps"))
        window.selectNode(*pumps);
    const ReplacePlan names = planReplace(window.session().state(), ReplaceField::name,
                                          "Pump_Speed\r\nPump_Flow\r\nTank_Level\r\n",
                                          {"P1.Pumps.T1", "P1.Pumps.T2", "P1.Pumps.T3"});
    if (names.refusal)
        std::fprintf(stderr, "replace grid: %s\n", names.refusal->c_str());
    frmReplace replace(&window);
    replace.fill(names);
    shoot(replace, "quillmar-replace-names.png");

    const std::string rennick =
        std::filesystem::canonical(std::string(EDITOR_TEST_DATA) + "/roundtrip_rennick.xml")
            .string();
    dialogs.queue(rennick);
    window.action("mnuOpenCfg")->trigger();
    frmPLC serialUnit(window.session(), nullptr, &window);
    shoot(serialUnit, "quillmar-unit-rennick.png");

    for (const QString& shot : shots)
        std::printf("%s\n", qPrintable(shot));
    std::filesystem::remove_all(scratch);
    return 0;
}
