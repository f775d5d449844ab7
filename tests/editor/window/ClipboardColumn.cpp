#include "ClipboardColumn.h"

#include "editor/window/frmReplace.h"

#include <QAction>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace vorn::editor::test {

UseClipboard::UseClipboard(WindowRig& rig, ScriptedClipboard& clipboard) : rig_(rig) {
    rig_.window->clipboard().useClipboard(&clipboard);
}

UseClipboard::~UseClipboard() {
    rig_.window->clipboard().useClipboard(nullptr);
}

void selectRows(WindowRig& rig, const std::string& branchKey,
                const std::vector<std::string>& rowKeys) {
    rig.clickNode(branchKey);
    // A click on the first row, as a user starts: it enables the item commands.
    if (!rowKeys.empty())
        rig.clickRow(QString::fromStdString(rowKeys.front()));
    QTreeWidget* report = rig.window->list()->reportView();
    report->setFocus();
    report->clearSelection();
    for (const std::string& key : rowKeys) {
        bool found = false;
        for (int row = 0; row < report->topLevelItemCount(); ++row) {
            QTreeWidgetItem* item = report->topLevelItem(row);
            if (item->data(0, Qt::UserRole).toString().toStdString() == key) {
                item->setSelected(true);
                found = true;
            }
        }
        EXPECT_TRUE(found) << "no row " << key;
    }
}

QStringList pasteNamesFromColumn(WindowRig& rig, const std::string& branchKey,
                                 const std::vector<std::string>& rowKeys,
                                 const std::vector<std::string>& names) {
    ScriptedClipboard clipboard;
    for (const std::string& name : names)
        clipboard.content += name + "\r\n";
    UseClipboard use(rig, clipboard);
    selectRows(rig, branchKey, rowKeys);
    QStringList shown;
    whenModal<frmReplace>([&](frmReplace& dialog) {
        QTableWidget* grid = dialog.grid();
        for (int row = 0; row < grid->rowCount(); ++row)
            shown << grid->item(row, 0)->text() + " " + grid->item(row, 1)->text() + " " +
                         grid->item(row, 2)->text();
        dialog.yesButton()->click();
    });
    QAction* command = rig.window->action("mnuPasteName");
    EXPECT_TRUE(command->isEnabled()) << branchKey << ": its first child is not an item";
    command->trigger();
    return shown;
}

} // namespace vorn::editor::test
