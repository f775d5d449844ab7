// Node clicks, list-row clicks, column clicks, the list's views, Find and the about box.
#include "TestConfigs.h"
#include "WindowRig.h"
#include "editor/ModelInsert.h"
#include "editor/ProductInfo.h"
#include "editor/window/frmAbout.h"
#include "editor/window/frmFind.h"
#include "editor/window/frmModBus.h"
#include "editor/window/frmSelect.h"

#include <QAction>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::editor;
using namespace vorn::editor::test;

namespace {

struct OpenedSample : WindowRig {
    OpenedSample() { open(writeSample()); }
    QStringList captions() const { return window->list()->columnCaptions(); }
    std::string selectedKey() const {
        const TreeNode* selected = window->session().state().tree.selected();
        return selected ? selected->key : "(none)";
    }
};

const QStringList kDeviceColumns{"Unit Name", "ModBus Unit Identifier"};
const QStringList kItemColumns{"Item Name", "Comment",     "Address",
                               "DataType",  "ModBus Type", "Access Rights"};

} // namespace

TEST(QuillmarSelection, EachNodeShowsItsColumnsAndRowsAndEnablesItsGroups) {
    OpenedSample rig;
    ObjectListView& list = *rig.window->list();

    rig.clickNode("");
    EXPECT_EQ(rig.captions(), kDeviceColumns);
    EXPECT_EQ(rig.listRows(), (QStringList{"P1", "P2"}));
    EXPECT_EQ(list.cell(1, 1), "7");
    EXPECT_EQ(list.columnWidth(0), static_cast<int>(list.reportView()->viewport()->width() * 0.5));
    EXPECT_EQ(rig.enabledGroups(), (std::vector<int>{1, 2, 6, 9, 11, 12}));
    EXPECT_TRUE(rig.window->action("mnuIcon")->isEnabled());

    rig.clickNode("ModBus");
    EXPECT_EQ(rig.captions(),
              (QStringList{"Data Type Name", "Read Code", "Write Code", "Single Write Code"}));
    // Sorted as text on the first column.
    EXPECT_EQ(rig.listRows(),
              (QStringList{"coil", "holding register", "input register", "input status"}));
    EXPECT_EQ(list.cell(3, 2), ""); // input status: no write code
    EXPECT_EQ(rig.enabledGroups(), (std::vector<int>{1, 2, 3, 11, 12}));

    // A Modbus type lists nothing and enables Delete.
    rig.clickNode("coil");
    EXPECT_TRUE(rig.captions().isEmpty());
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(rig.enabledGroups(), (std::vector<int>{1, 2, 10, 12}));
    EXPECT_FALSE(rig.window->action("mnuIcon")->isEnabled());

    rig.clickNode("P2");
    EXPECT_EQ(rig.captions(), kDeviceColumns);
    EXPECT_EQ(rig.listRows(), QStringList{"P2"});
    EXPECT_EQ(rig.enabledGroups(), (std::vector<int>{1, 2, 4, 5, 10, 11, 12}));

    // A branch whose first child is a branch, and one whose first child is an item.
    rig.clickNode("P2.Drives");
    EXPECT_EQ(rig.captions(), kItemColumns + QStringList{"Index"});
    EXPECT_EQ(rig.listRows(), (QStringList{"Motor_2", "MY_MOTOR"}));
    EXPECT_EQ(rig.enabledGroups(), (std::vector<int>{1, 2, 4, 5, 9, 10, 11, 12}));
    rig.clickNode("P1.Pumps.Valves");
    EXPECT_EQ(rig.listRows(), (QStringList{"Open", "States"}));
    EXPECT_EQ(list.cell(1, 2), "8/BIT00/LEN16");
    EXPECT_EQ(list.cell(1, 6), "0000800CO");
    EXPECT_EQ(rig.enabledGroups(), (std::vector<int>{1, 2, 3, 4, 5, 9, 10, 11, 12, 13, 14}));

    rig.clickNode("P1.Level");
    EXPECT_EQ(rig.captions(), kItemColumns);
    EXPECT_EQ(rig.listRows(), QStringList{"Level"});
    EXPECT_EQ(list.cell(0, 3), "32 bit float");
    EXPECT_EQ(rig.enabledGroups(), (std::vector<int>{1, 2, 7, 8, 10, 11, 12, 13, 14}));
    EXPECT_EQ(rig.selectedKey(), "P1.Level");
}

TEST(QuillmarSelection, RowClicksEnableByTheRowsNodeAndColumnClicksSortAsText) {
    OpenedSample rig;
    rig.clickNode("P1.Pumps");
    ASSERT_EQ(rig.window->list()->rowCount(), 15);
    EXPECT_EQ(rig.listRows().mid(0, 3), (QStringList{"T1", "T10", "T11"}));

    rig.clickRow("P1.Pumps.T4");
    EXPECT_EQ(rig.enabledGroups(), (std::vector<int>{1, 2, 7, 8, 10, 11, 12, 13, 14}));
    // Clicking the branch again shows the branch's enabling again.
    rig.clickNode("P1.Pumps");
    EXPECT_EQ(rig.enabledGroups(), (std::vector<int>{1, 2, 3, 4, 5, 9, 10, 11, 12, 13, 14}));

    // The Index column orders by address: T1 at 100 ... T15 at 240.
    QHeaderView* header = rig.window->list()->reportView()->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(6) + 5, header->height() / 2));
    EXPECT_EQ(rig.listRows().mid(0, 3), (QStringList{"T1", "T2", "T3"}));
    EXPECT_EQ(rig.listRows().last(), "T15");

    rig.clickNode("");
    rig.clickRow("P2");
    EXPECT_EQ(rig.enabledGroups(), (std::vector<int>{1, 2, 4, 5, 10, 11, 12}));
    // A double click on a row selects its node in the tree and opens the unit's dialog.
    bool unitDialog = false;
    whenModal<QDialog>([](QDialog& dialog) { dialog.reject(); }, &unitDialog);
    QTreeWidget* report = rig.window->list()->reportView();
    const QPoint onP2 = report->visualItemRect(report->topLevelItem(1)).center();
    QTest::mousePress(report->viewport(), Qt::LeftButton, {}, onP2);
    QTest::mouseDClick(report->viewport(), Qt::LeftButton, {}, onP2);
    settle(50);
    EXPECT_TRUE(unitDialog);
    EXPECT_EQ(rig.selectedKey(), "P2");
    EXPECT_EQ(rig.window->tree()->currentItem()->text(0), "P2");
}

TEST(QuillmarSelection, TheMouseSelectsRowsAndADoubleClickOpensTheItem) {
    OpenedSample rig;
    rig.clickNode("P1.Pumps");
    ObjectListView& list = *rig.window->list();
    QTreeWidget* report = list.reportView();
    auto at = [&](int row) { return report->visualItemRect(report->topLevelItem(row)).center(); };
    // Rows 3, 4 and 6 are T12, T13 and T15 (sorted as text).
    QTest::mouseClick(report->viewport(), Qt::LeftButton, {}, at(3));
    EXPECT_EQ(list.selectedKeys(), (std::vector<std::string>{"P1.Pumps.T12"}));
    QTest::mouseClick(report->viewport(), Qt::LeftButton, Qt::ControlModifier, at(6));
    EXPECT_EQ(list.selectedKeys(), (std::vector<std::string>{"P1.Pumps.T12", "P1.Pumps.T15"}));
    // Shift extends from the last row clicked: T13 to T15 join T12.
    QTest::mouseClick(report->viewport(), Qt::LeftButton, Qt::ShiftModifier, at(4));
    EXPECT_EQ(list.selectedKeys(), (std::vector<std::string>{"P1.Pumps.T12", "P1.Pumps.T13",
                                                             "P1.Pumps.T14", "P1.Pumps.T15"}));

    // A double click as a mouse makes it: a click, then the second press.
    bool itemDialog = false;
    whenModal<QDialog>([](QDialog& dialog) { dialog.reject(); }, &itemDialog);
    QTest::mouseClick(report->viewport(), Qt::LeftButton, {}, at(3));
    QTest::mouseDClick(report->viewport(), Qt::LeftButton, {}, at(3));
    settle(50);
    EXPECT_TRUE(itemDialog);
}

TEST(QuillmarSelection, TheFourViewsShowTheSameRows) {
    OpenedSample rig;
    rig.clickNode("P1.Pumps.Valves");
    ObjectListView& list = *rig.window->list();
    EXPECT_EQ(list.mode(), ListMode::report);
    EXPECT_EQ(list.reportView()->topLevelItemCount(), 2);
    rig.window->action("icon")->trigger();
    EXPECT_EQ(list.mode(), ListMode::icon);
    EXPECT_EQ(list.currentWidget(), list.iconView());
    ASSERT_EQ(list.iconView()->count(), 2);
    EXPECT_EQ(list.iconView()->item(1)->text(), "States");
    EXPECT_FALSE(list.iconView()->item(1)->icon().isNull());
    EXPECT_EQ(list.iconView()->iconSize(), QSize(32, 32));
    rig.window->action("mnuSmallIcon")->trigger();
    EXPECT_EQ(list.iconView()->iconSize(), QSize(16, 16));
    rig.window->action("list")->trigger();
    EXPECT_EQ(list.iconView()->flow(), QListView::TopToBottom);
    EXPECT_EQ(list.iconView()->count(), 2);
    EXPECT_EQ(list.iconView()->selectionMode(), QAbstractItemView::ExtendedSelection);
    // A row clicked in another view enables as in the report.
    QListWidget* icons = list.iconView();
    QTest::mouseClick(icons->viewport(), Qt::LeftButton, {},
                      icons->visualItemRect(icons->item(0)).center());
    EXPECT_EQ(rig.enabledGroups(), (std::vector<int>{1, 2, 7, 8, 10, 11, 12, 13, 14}));
    rig.window->action("mnuReport")->trigger();
    EXPECT_EQ(list.currentWidget(), list.reportView());
}

TEST(QuillmarFind, FindsByTheBeginningOfTheNameAndSelectsLikeAClick) {
    OpenedSample rig;
    rig.window->action("mnuFind")->trigger();
    frmFind* find = rig.window->findDialog();
    ASSERT_NE(find, nullptr);
    EXPECT_EQ(find->windowTitle(), "Find Item");
    EXPECT_FALSE(find->isModal());
    auto press = [find](const char* button) { find->findChild<QPushButton*>(button)->click(); };
    EXPECT_EQ(find->findChild<QPushButton*>("cmdFind")->text(), "Find");
    EXPECT_EQ(find->findChild<QPushButton*>("cmdNext")->text(), "Find Next");
    EXPECT_EQ(find->findChild<QPushButton*>("cmdCancel")->text(), "Exit");

    rig.clickNode("P1");
    find->searchText()->clear(); // an empty text does nothing
    press("cmdFind");
    EXPECT_EQ(rig.selectedKey(), "P1");

    // "mot": MOTOR_1 (in P2.Drives.Hall), then Motor_2, then motor_3; never MY_MOTOR.
    QTest::keyClicks(find->searchText(), "mot");
    press("cmdFind");
    EXPECT_EQ(rig.selectedKey(), "P2.Drives.Hall.MOTOR_1");
    EXPECT_EQ(rig.window->tree()->currentItem()->text(0), "MOTOR_1");
    // Found onto an item: Add Branch and Add Item are off, as after a click.
    EXPECT_EQ(rig.enabledGroups(), (std::vector<int>{1, 2, 7, 8, 10, 11, 12, 13, 14}));
    EXPECT_EQ(rig.listRows(), QStringList{"MOTOR_1"});
    press("cmdNext");
    EXPECT_EQ(rig.selectedKey(), "P2.Drives.Motor_2");
    press("cmdNext");
    EXPECT_EQ(rig.selectedKey(), "P2.motor_3");
    press("cmdNext");
    EXPECT_EQ(rig.selectedKey(), "P2.motor_3");

    find->searchText()->setText("MY_");
    press("cmdFind");
    EXPECT_EQ(rig.selectedKey(), "P2.Drives.MY_MOTOR");
    find->searchText()->setText("nothing like it");
    press("cmdFind");
    EXPECT_EQ(rig.selectedKey(), "P2.Drives.MY_MOTOR");

    press("cmdCancel");
    settle(20);
    EXPECT_EQ(rig.window->findDialog(), nullptr);
}

TEST(QuillmarAbout, ShowsProductVersionAndMakerModeless) {
    WindowRig rig;
    rig.window->action("mnuAbout")->trigger();
    frmAbout* about = rig.window->aboutDialog();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->isModal());
    EXPECT_EQ(about->windowTitle(), "About Quillmar");
    EXPECT_EQ(about->findChild<QLabel*>("lblTitle")->text(), "Vorn Automation Quillmar");
    EXPECT_EQ(about->findChild<QLabel*>("lblVersion")->text().toStdString(),
              "Version " + productVersion());
    EXPECT_EQ(productVersion(), "1.10.0");
    EXPECT_FALSE(about->findChild<QLabel*>("lblDescription")->text().isEmpty());
    EXPECT_TRUE(about->findChild<QLabel*>("lblContact")->text().contains("\n"));
    about->findChild<QPushButton*>("cmdOk")->click();
    settle(20);
    EXPECT_EQ(rig.window->aboutDialog(), nullptr);
}

TEST(QuillmarSelect, OffersBothKindsWithTcpIpChosen) {
    WindowRig rig;
    answerKindDialog(std::string("Rennick"));
    rig.window->action("new")->trigger();
    EXPECT_EQ(rig.window->session().state().serverKind, "Rennick");
    EXPECT_EQ(rig.window->session().currentPath(), rig.dir.file("Rennick.xml"));
    frmSelect dialog;
    EXPECT_EQ(dialog.windowTitle(), "Select ModBus interface");
    EXPECT_EQ(dialog.serverKind(), "Tarnvale");
}

// A node click shows the node's rows as a report, whatever view the list had.
TEST(QuillmarSelection, ANodeClickSwitchesTheListToTheReport) {
    OpenedSample rig;
    ObjectListView& list = *rig.window->list();
    for (const char* view : {"mnuIcon", "mnuSmallIcon", "mnuList"}) {
        rig.clickNode("P2.Drives");
        rig.window->action(view)->trigger();
        ASSERT_NE(list.currentWidget(), list.reportView()) << view;
        rig.clickNode("P1");
        EXPECT_EQ(list.mode(), ListMode::report) << view;
        EXPECT_EQ(list.currentWidget(), list.reportView()) << view;
        EXPECT_EQ(rig.captions(), kDeviceColumns) << view;
    }
    // A row click keeps the view the user chose.
    rig.clickNode("P2.Drives");
    rig.window->action("mnuList")->trigger();
    rig.window->session().listRowClick("P2.Drives.MY_MOTOR");
    EXPECT_EQ(list.mode(), ListMode::list);
}

// The Objects menu opens when Add ModBus Type, Add Branch, Add Item, Add Unit or Delete Object
// is enabled; the Edit menu when Copy, Cut, Paste or one of its other entries is.
TEST(QuillmarSelection, TheObjectsAndEditMenusFollowTheirGroups) {
    OpenedSample rig;
    auto menuEnabled = [&](const char* name) {
        return rig.window->menu(name)->menuAction()->isEnabled();
    };
    struct Case {
        const char* node;
        bool objects;
        bool edit;
    };
    const Case cases[] = {
        {"", true, true},                 // Add Unit; Paste
        {"ModBus", true, false},          // Add ModBus Type
        {"holding register", true, true}, // Delete Object only
        {"P1", true, true},               // adds, Delete Object
        {"P2.Drives.MY_MOTOR", true, true},
    };
    for (const Case& c : cases) {
        rig.clickNode(c.node);
        EXPECT_EQ(menuEnabled("mnuObjects"), c.objects) << c.node;
        EXPECT_EQ(menuEnabled("mnuEdit"), c.edit) << c.node;
        const CommandEnabling& enabling = rig.window->session().enabling();
        EXPECT_EQ(menuEnabled("mnuObjects"), enabling.objectsMenu()) << c.node;
        EXPECT_EQ(menuEnabled("mnuEdit"), enabling.editMenu()) << c.node;
    }
}

// Find walks the nodes in the order they were added: an item added to the first unit after
// opening is found after the nodes the file brought, though the tree shows it first.
TEST(QuillmarFind, FindWalksTheNodesInTheOrderTheyWereAdded) {
    OpenedSample rig;
    EditorState& state = rig.window->session().state();
    editor::addItem(state, rig.node("P1"), editor::test::item("P1", "Motor_9", "coil:boolean", 9));
    rig.window->session().showChanged(rig.node("P1"), rig.node("P1"));
    rig.window->action("mnuFind")->trigger();
    frmFind* find = rig.window->findDialog();
    ASSERT_NE(find, nullptr);
    auto press = [find](const char* button) { find->findChild<QPushButton*>(button)->click(); };
    QTest::keyClicks(find->searchText(), "mot");
    press("cmdFind");
    EXPECT_EQ(rig.selectedKey(), "P2.Drives.Hall.MOTOR_1");
    for (const char* next : {"P2.Drives.Motor_2", "P2.motor_3", "P1.Motor_9", "P1.Motor_9"}) {
        press("cmdNext");
        EXPECT_EQ(rig.selectedKey(), next);
    }
    press("cmdCancel");
    settle(20);
}

// A double click on a Modbus type opens its dialog and leaves the Modbus types folder selected
// and listed, as a click on the folder does.
TEST(QuillmarSelection, ADoubleClickOnAModbusTypeLeavesTheFolderSelected) {
    OpenedSample rig;
    for (bool confirm : {false, true}) {
        bool seen = false;
        whenModal<frmModBus>(
            [confirm](frmModBus& dialog) {
                if (confirm)
                    dialog.findChild<QPushButton*>("cmdOk")->click();
                if (dialog.isVisible())
                    dialog.reject();
            },
            &seen);
        rig.doubleClickNode("coil");
        settle(20);
        EXPECT_TRUE(seen);
        EXPECT_EQ(rig.selectedKey(), "ModBus") << confirm;
        EXPECT_EQ(rig.window->tree()->currentItem()->text(0), "ModBus") << confirm;
        EXPECT_EQ(rig.captions().value(0), "Data Type Name") << confirm;
        EXPECT_EQ(rig.enabledGroups(), (std::vector<int>{1, 2, 3, 11, 12})) << confirm;
    }
}
