#include "WindowRig.h"

#include "TestConfigs.h"
#include "editor/ConfigExport.h"
#include "editor/ModelInsert.h"
#include "editor/window/frmSelect.h"
#include "fileformat/ConfigFormat.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <gtest/gtest.h>

namespace vorn::editor::test {
namespace {
QObject* currentWaitOwner = nullptr;
} // namespace

QObject* dialogWaitOwner() {
    return currentWaitOwner ? currentWaitOwner : qApp;
}

WindowRig::WindowRig()
    : registryFile("VORN_REGISTRY", dir.file("registry.ini").c_str()),
      window(std::make_unique<frmEditing>(dialogs, dir.path(), Registry())),
      dialogWaits(std::make_unique<QObject>()), previousWaits(currentWaitOwner) {
    currentWaitOwner = dialogWaits.get();
    window->show();
}

WindowRig::~WindowRig() {
    // Nothing may ask anything at the end of a test.
    window->session().state().configOpen = false;
    window.reset();
    currentWaitOwner = previousWaits;
}

std::optional<std::string> WindowRig::registeredPath(const std::string& kind) const {
    return Registry(registryPath()).readString("SOFTWARE\\VornAutomation\\" + kind, "ConfigFile");
}

std::vector<std::string> WindowRig::messages() const {
    std::vector<std::string> texts;
    for (const auto& shown : boxes.shown())
        texts.push_back(shown.text);
    return texts;
}

TreeNode& WindowRig::node(const std::string& key) {
    TreeNode* found = key.empty() ? window->session().state().tree.root()
                                  : window->session().state().tree.find(key);
    if (!found)
        throw std::runtime_error("no node " + key);
    return *found;
}

void WindowRig::clickNode(const std::string& key) {
    QTreeWidgetItem* item = window->itemOf(&node(key));
    ASSERT_NE(item, nullptr) << key;
    QTreeWidget* tree = window->tree();
    tree->scrollToItem(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
}

void WindowRig::doubleClickNode(const std::string& key) {
    QTreeWidgetItem* item = window->itemOf(&node(key));
    ASSERT_NE(item, nullptr) << key;
    QTreeWidget* tree = window->tree();
    tree->scrollToItem(item);
    const QPoint at = tree->visualItemRect(item).center();
    // A double click follows a press, as from a real mouse.
    QTest::mousePress(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
}

void WindowRig::clickRow(const QString& key) {
    QTreeWidget* report = window->list()->reportView();
    for (int row = 0; row < report->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = report->topLevelItem(row);
        if (item->data(0, Qt::UserRole).toString() == key) {
            report->scrollToItem(item);
            QTest::mouseClick(report->viewport(), Qt::LeftButton, {},
                              report->visualItemRect(item).center());
            return;
        }
    }
    ADD_FAILURE() << "no row " << key.toStdString();
}

QStringList WindowRig::enabledCommands() const {
    QStringList names;
    for (QAction* action : window->findChildren<QAction*>()) {
        if (!action->objectName().isEmpty() && !action->isSeparator() && action->isEnabled() &&
            !action->menu())
            names << action->objectName();
    }
    names.removeDuplicates();
    names.sort();
    return names;
}

std::vector<int> WindowRig::enabledGroups() const {
    std::vector<int> groups;
    for (int group = 1; group <= kCommandGroupCount; ++group) {
        if (window->session().enabling().enabled(group))
            groups.push_back(group);
    }
    return groups;
}

QStringList WindowRig::listRows() const {
    QStringList rows;
    for (int row = 0; row < window->list()->rowCount(); ++row)
        rows << window->list()->cell(row, 0);
    return rows;
}

std::string WindowRig::writeSample(const std::string& name) {
    EditorState state;
    buildTarnvaleRoundTrip(state);
    TreeNode& p2 = *state.tree.find("P2");
    TreeNode& drives = branch(state, p2, "Drives");
    TreeNode& hall = branch(state, drives, "Hall");
    addItem(state, hall, item(hall.key, "MOTOR_1", "coil:boolean", 1));
    addItem(state, drives, item(drives.key, "MY_MOTOR", "coil:boolean", 2));
    addItem(state, drives, item(drives.key, "Motor_2", "coil:boolean", 3));
    addItem(state, p2, item(p2.key, "motor_3", "coil:boolean", 4));
    const std::string path = dir.file(name);
    EXPECT_TRUE(CreateXML(state, path));
    return path;
}

void WindowRig::open(const std::string& path) {
    dialogs.queue(path);
    window->action("mnuOpenCfg")->trigger();
}

void WindowRig::saveAs(const std::string& path) {
    dialogs.queue(path);
    window->action("mnuSaveAs")->trigger();
}

namespace {

void answerKindDialogWithin(std::optional<std::string> kind, bool* seen, int attemptsLeft) {
    QTimer::singleShot(10, dialogWaitOwner(), [kind, seen, attemptsLeft] {
        auto* dialog = qobject_cast<frmSelect*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (attemptsLeft > 0)
                answerKindDialogWithin(kind, seen, attemptsLeft - 1);
            return;
        }
        if (seen)
            *seen = true;
        if (!kind) {
            dialog->reject();
            return;
        }
        dialog
            ->findChild<QRadioButton*>(*kind == vorn::format::kRennickName ? "optRTU" : "optTcpip")
            ->click();
        dialog->findChild<QPushButton*>("cmdOk")->click();
    });
}

} // namespace

void answerKindDialog(std::optional<std::string> kind, bool* seen, int attempts) {
    answerKindDialogWithin(std::move(kind), seen, attempts);
}

void settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    // Dialogs closed by the test delete themselves here.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace vorn::editor::test
