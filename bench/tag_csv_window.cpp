// Tag list import through Quillmar's window, offscreen: the time from "Import Tags from CSV..."
// to the preview showing a file of 10,000 rows, and from "Import the good rows" to the tree and
// the list showing them. The best of `runs` rounds, in milliseconds.
// Run: QT_QPA_PLATFORM=offscreen tag_csv_window [rows] [runs]
#include "common/TagListFile.h"
#include "editor/ConfigExport.h"
#include "editor/window/FileDialogs.h"
#include "editor/window/frmCsvPreview.h"
#include "editor/window/frmEditing.h"
#include "platform/MessageBox.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace vorn::editor;
using Clock = std::chrono::steady_clock;

namespace {

double millisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Every file dialog answers with the next path given.
class GivenPaths : public FileDialogs {
public:
    std::string next;
    std::string openFile(QWidget*, const std::string&, const std::string&) override { return next; }
    std::string saveFile(QWidget*, const std::string&, const std::string&,
                         const std::string&) override {
        return next;
    }
};

} // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tag_csv_window_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    setenv("VORN_REGISTRY", (folder / "registry.ini").c_str(), 1);
    const std::string csv = (folder / "tags.csv").string();
    const std::string config = (folder / "Tarnvale.xml").string();
    std::ofstream(csv, std::ios::binary) << vorn::bench::tagList(rows);
    {
        EditorState state;
        vorn::bench::startPlant(state);
        if (!CreateXML(state, config))
            return 1;
    }

    QApplication application(argc, argv);
    vorn::ScriptedMessageBox boxes;
    vorn::ScopedMessageBoxes useBoxes(boxes);
    double preview = 1e9, import = 1e9;
    size_t items = 0;
    for (int run = 0; run < runs; ++run) {
        GivenPaths dialogs;
        frmEditing window(dialogs, folder.string(), vorn::Registry());
        window.show();
        dialogs.next = config;
        window.action("mnuOpenCfg")->trigger();
        TreeNode* unit = window.session().state().tree.find("Unit");
        if (!unit)
            return 1;
        window.selectNode(*unit);

        Clock::time_point started = Clock::now(), shown{}, accepted{};
        // The preview is looked for as soon as the event loop runs under it.
        std::function<void()> answer = [&] {
            auto* dialog = qobject_cast<frmCsvPreview*>(QApplication::activeModalWidget());
            if (!dialog) {
                QTimer::singleShot(0, answer);
                return;
            }
            shown = Clock::now();
            accepted = Clock::now();
            dialog->importButton()->click();
        };
        QTimer::singleShot(0, answer);
        dialogs.next = csv;
        window.action("mnuImportCsv")->trigger();
        const Clock::time_point ended = Clock::now();
        preview = std::min(preview, millisecondsBetween(started, shown));
        import = std::min(import, millisecondsBetween(accepted, ended));
        items = window.session().state().items.size();
        window.session().state().configOpen = false; // nothing to ask on closing
    }
    std::filesystem::remove_all(folder);
    std::printf("rows %d through the window: preview shown after %.0f ms, imported and shown "
                "after %.0f ms; %zu items\n",
                rows, preview, import, items);
    return items == static_cast<size_t>(rows) ? 0 : 1;
}
