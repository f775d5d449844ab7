// Keyboard and window habits of the main window: F2 or Enter edits the selected node, the list
// follows what an open item dialog changes, and a small window keeps readable fonts.
#include "DialogDriving.h"
#include "WindowRig.h"
#include "editor/window/frmBranch.h"
#include "editor/window/frmItems.h"
#include "editor/window/frmPLC.h"

#include <QAction>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::editor;
using namespace vorn::editor::test;

namespace {

// Clicks `node`, presses `key` on the tree and tells whether a T dialog came up (closed at
// once). The flag outlives the call, so a dialog that comes late still finds it.
template <class T> bool keyOpens(WindowRig& rig, const std::string& node, Qt::Key key) {
    static bool seen;
    seen = false;
    whenModal<T>([](T& dialog) { dialog.reject(); }, &seen);
    rig.clickNode(node);
    QTest::keyClick(rig.window->tree(), key);
    settle(20);
    return seen;
}

} // namespace

TEST(QuillmarKeyboard, F2OrEnterOnTheSelectedNodeOpensItsDialogAsADoubleClickDoes) {
    WindowRig rig;
    rig.open(rig.writeSample());
    for (Qt::Key key : {Qt::Key_F2, Qt::Key_Return, Qt::Key_Enter}) {
        EXPECT_TRUE(keyOpens<frmPLC>(rig, "P2", key)) << "key " << key;
        EXPECT_TRUE(keyOpens<frmBranch>(rig, "P2.Drives", key)) << "key " << key;
        EXPECT_TRUE(keyOpens<frmItems>(rig, "P2.Drives.MY_MOTOR", key)) << "key " << key;
    }
    // Other keys still move through the tree without opening anything.
    rig.clickNode("P2");
    QTest::keyClick(rig.window->tree(), Qt::Key_Down);
    EXPECT_NE(rig.window->tree()->currentItem()->text(0), "P2");
}

TEST(QuillmarItems, TheListShowsWhatTheItemDialogChangesWhileItStaysOpen) {
    WindowRig rig;
    rig.open(rig.writeSample());
    bool seen = false;
    QStringList afterIncrement;
    QStringList afterGroup;
    whenModal<frmItems>(
        [&](frmItems& dialog) {
            type(dialog, "txtItemName", "Flow");
            pick(dialog, "cmbModbusType", "holding register");
            pick(dialog, "cmbDataType", "unsigned 16 bit");
            type(dialog, "txtAddress", "100");
            pick(dialog, "cmbAccessRight", "READ");
            press(dialog, "cmdAdd");
            afterIncrement = rig.listRows();
            press(dialog, "cmdGroup");
            type(dialog, "txtNumbItems", "2");
            press(dialog, "cmdOkNumber");
            afterGroup = rig.listRows();
            press(dialog, "cmdCancel");
        },
        &seen);
    rig.clickNode("P2.Drives");
    rig.window->action("item")->trigger();
    ASSERT_TRUE(seen);
    EXPECT_TRUE(afterIncrement.contains("Flow")) << afterIncrement.join(",").toStdString();
    EXPECT_EQ(afterGroup.size(), afterIncrement.size() + 2) << afterGroup.join(",").toStdString();

    // "Confirm Modify" keeps the dialog open on the item; its row shows the new comment.
    seen = false;
    QString commentShown;
    whenModal<frmItems>(
        [&](frmItems& dialog) {
            type(dialog, "txtComment", "inlet flow");
            press(dialog, "cmdOk");
            ASSERT_TRUE(dialog.isVisible());
            const QStringList rows = rig.listRows();
            const int row = static_cast<int>(rows.indexOf("Flow"));
            const QStringList captions = rig.window->list()->columnCaptions();
            const int column = static_cast<int>(captions.indexOf("Comment"));
            if (row >= 0 && column >= 0)
                commentShown = rig.window->list()->cell(row, column);
            press(dialog, "cmdCancel");
        },
        &seen);
    rig.doubleClickNode("P2.Drives.Flow");
    ASSERT_TRUE(seen);
    EXPECT_EQ(commentShown, "inlet flow")
        << rig.window->list()->columnCaptions().join(",").toStdString();
}
