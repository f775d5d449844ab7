// Renders Quillmar's main window with a sample configuration opened, its list in report view
// and in large-icon view, to PNG files in the folder given (default /tmp), to look at them on
// a real X server:
//   xvfb-run -a quillmar_screenshots /tmp
#include "ScriptedFileDialogs.h"
#include "editor/EditorSession.h"
#include "editor/window/frmEditing.h"
#include "platform/MessageBox.h"

#include <QApplication>
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

    std::printf("%s\n%s\n", qPrintable(report), qPrintable(icons));
    std::filesystem::remove_all(scratch);
    return 0;
}
