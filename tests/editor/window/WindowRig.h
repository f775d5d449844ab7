// One Quillmar main window for a test: its program folder and registry file in a scratch
// folder, message boxes and file dialogs answered by the test, helpers to click like a user.
#pragma once

#include "ScopedEnv.h"
#include "ScratchDir.h"
#include "ScriptedFileDialogs.h"
#include "editor/window/frmEditing.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// Readable QStrings in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace vorn::editor::test {

struct WindowRig {
    WindowRig();
    ~WindowRig();

    vorn::test::ScratchDir dir;
    vorn::test::ScopedEnv registryFile;
    ScriptedMessageBox boxes;
    ScopedMessageBoxes useBoxes{boxes};
    ScriptedFileDialogs dialogs;
    std::unique_ptr<frmEditing> window;
    // Owns the test's pending dialog waits (whenModal, answerKindDialog): a wait whose dialog
    // never came ends with the test instead of acting on a later test's dialog.
    std::unique_ptr<QObject> dialogWaits;
    QObject* previousWaits;

    std::string registryPath() const { return dir.file("registry.ini"); }
    std::optional<std::string> registeredPath(const std::string& kind) const;
    std::vector<std::string> messages() const;

    // Objects of the window's session by key.
    TreeNode& node(const std::string& key);
    // A mouse click on the node's tree item, and on a row of the list.
    void clickNode(const std::string& key);
    void clickRow(const QString& key);
    // A double click on the node's tree item.
    void doubleClickNode(const std::string& key);
    // The names of the enabled menu entries and toolbar buttons, sorted.
    QStringList enabledCommands() const;
    std::vector<int> enabledGroups() const;
    QStringList listRows() const;
    // Writes the sample configuration (the Tarnvale round trip plus MY_MOTOR, MOTOR_1 and a
    // branch whose first child is a branch) and returns its path.
    std::string writeSample(const std::string& name = "sample.xml");
    // Opens `path` through the open dialog.
    void open(const std::string& path);
    // Saves under `path` through the "Save Configuration As" dialog.
    void saveAs(const std::string& path);
};

// Answers the next server-kind dialog: picks `kind` and presses "Ok", or closes it when there
// is none. `seen` is set when the dialog came up; it is looked for `attempts` times, every
// 10 ms.
void answerKindDialog(std::optional<std::string> kind, bool* seen = nullptr, int attempts = 200);

// Runs `act` on the next modal dialog of type T once it is up (looked for every 10 ms, at
// most 2 s); `seen` is set when it came.
template <class T>
void whenModal(std::function<void(T&)> act, bool* seen = nullptr, int attempts = 200);

// Processes events for `ms` milliseconds.
void settle(int ms);

// The owner of pending dialog waits: the newest window rig's, or the application's.
QObject* dialogWaitOwner();

template <class T> void whenModal(std::function<void(T&)> act, bool* seen, int attempts) {
    QTimer::singleShot(10, dialogWaitOwner(), [act, seen, attempts] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (attempts > 0)
                whenModal<T>(act, seen, attempts - 1);
            return;
        }
        if (seen)
            *seen = true;
        act(*dialog);
    });
}

} // namespace vorn::editor::test
