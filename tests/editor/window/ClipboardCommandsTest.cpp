// Copy, Cut, Paste, dragging in the tree and the pastes from the clipboard in the main window,
// with message boxes, the clipboard and the replace grid answered by the test.
#include "ClipboardColumn.h"
#include "TestConfigs.h"
#include "WindowRig.h"
#include "editor/ConfigExport.h"
#include "editor/ModelInsert.h"
#include "editor/window/TreeDragDrop.h"
#include "editor/window/frmReplace.h"
#include "fileformat/ConfigFormat.h"

#include <QAction>
#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMimeData>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <set>

using namespace vorn;
using namespace vorn::editor;
using namespace vorn::editor::test;

namespace {

// Unit U with branch A (Speed, Temp, Copied_Item, New_Item_3, sub-branch Sub with Deep), unit
// V with branch A2 (Pump, Fan), unit W with a branch A; saved and opened in the window.
void openPlant(WindowRig& rig) {
    EditorState state;
    startNew(state, vorn::format::kTarnvaleName);
    addModbusType(state, modbusType("holding register", 3, 16, 6));
    TreeNode& u = addDevice(state, tcpDevice("U", "127.0.0.1", 1, 1000, 502));
    TreeNode& a = branch(state, u, "A");
    const char* type = "holding register:signed 16 bit";
    addItem(state, a, item(a.key, "Speed", type, 10));
    addItem(state, a, item(a.key, "Temp", type, 11));
    addItem(state, a, item(a.key, "Copied_Item", type, 12));
    addItem(state, a, item(a.key, "New_Item_3", type, 13));
    TreeNode& sub = branch(state, a, "Sub");
    addItem(state, sub, item(sub.key, "Deep", type, 20));
    TreeNode& v = addDevice(state, tcpDevice("V", "127.0.0.2", 2, 1000, 502));
    TreeNode& a2 = branch(state, v, "A2");
    addItem(state, a2, item(a2.key, "Pump", type, 30));
    addItem(state, a2, item(a2.key, "Fan", type, 31));
    TreeNode& w = addDevice(state, tcpDevice("W", "127.0.0.3", 3, 1000, 502));
    branch(state, w, "A");
    const std::string path = rig.dir.file("plant.xml");
    ASSERT_TRUE(CreateXML(state, path));
    rig.open(path);
}

const EditorState& stateOf(WindowRig& rig) {
    return rig.window->session().state();
}

std::set<std::string> itemKeys(const EditorState& state) {
    std::set<std::string> keys;
    for (const auto& [key, item] : state.items)
        keys.insert(key);
    return keys;
}

// A node is selected in the tree and the tree has the focus, as after a click on it.
void focusNode(WindowRig& rig, const std::string& key) {
    rig.clickNode(key);
    rig.window->tree()->setFocus();
}

QStringList childTexts(WindowRig& rig, const std::string& key) {
    QStringList texts;
    QTreeWidgetItem* item = rig.window->itemOf(&rig.node(key));
    for (int i = 0; item && i < item->childCount(); ++i)
        texts << item->child(i)->text(0);
    return texts;
}

} // namespace

TEST(QuillmarClipboard, CopyFromTheListRefusesDefaultNamesAndPastesBesideCountUp) {
    WindowRig rig;
    openPlant(rig);
    selectRows(rig, "U.A", {"U.A.Copied_Item"});
    rig.window->action("mnuCopy")->trigger();
    selectRows(rig, "U.A", {"U.A.New_Item_3"});
    rig.window->action("mnuCopy")->trigger();
    const std::string refused = "Please change Item name (do not use default name) before copying";
    EXPECT_EQ(rig.messages(), (std::vector<std::string>{refused, refused}));
    EXPECT_TRUE(stateOf(rig).itemClipboard.empty());

    rig.boxes.clear();
    focusNode(rig, "U.A.Speed");
    EXPECT_TRUE(rig.window->action("copy")->isEnabled());
    EXPECT_TRUE(rig.window->action("cut")->isEnabled());
    rig.window->action("copy")->trigger();
    rig.clickNode("U.A");
    EXPECT_TRUE(rig.window->action("paste")->isEnabled());
    rig.window->action("mnuPaste")->trigger();
    rig.window->action("mnuPaste")->trigger();
    EXPECT_TRUE(rig.messages().empty());
    EXPECT_EQ(childTexts(rig, "U.A"), (QStringList{"Speed", "Temp", "Copied_Item", "New_Item_3",
                                                   "Sub", "Speed_0", "Speed_1"}));
    EXPECT_TRUE(rig.listRows().contains("Speed_1"));
    EXPECT_EQ(stateOf(rig).items.item("U.A.Speed_1").nAddress, 10);
    EXPECT_FALSE(stateOf(rig).configSaved);

    // With the root selected (Paste is enabled there) nothing happens.
    const size_t nodes = stateOf(rig).tree.size();
    rig.clickNode("");
    EXPECT_TRUE(rig.window->action("mnuPaste")->isEnabled());
    rig.window->action("mnuPaste")->trigger();
    EXPECT_EQ(stateOf(rig).tree.size(), nodes);
    EXPECT_TRUE(rig.messages().empty());
}

TEST(QuillmarClipboard, CutAndPasteBackGivesSpeed_0AndARefusedCutDeletesNothing) {
    WindowRig rig;
    openPlant(rig);
    focusNode(rig, "U.A.New_Item_3");
    rig.window->action("mnuCut")->trigger();
    EXPECT_EQ(rig.messages(),
              std::vector<std::string>{
                  "Please change Item name (do not use default name) before copying"});
    EXPECT_TRUE(stateOf(rig).items.contains("U.A.New_Item_3"));

    rig.boxes.clear();
    focusNode(rig, "U.A.Speed");
    rig.boxes.queueAnswer(MessageAnswer::yes);
    rig.window->action("cut")->trigger();
    EXPECT_EQ(rig.messages(), std::vector<std::string>{"Are you sure you want to delete Speed ?"});
    EXPECT_FALSE(stateOf(rig).tree.contains("U.A.Speed"));
    rig.clickNode("U.A");
    rig.window->action("paste")->trigger();
    EXPECT_TRUE(stateOf(rig).items.contains("U.A.Speed_0"));
    EXPECT_EQ(rig.window->itemOf(&rig.node("U.A.Speed_0"))->text(0), "Speed_0");

    // The keyboard: Ctrl+C on an item of the tree, Ctrl+V on a branch.
    focusNode(rig, "U.A.Temp");
    QTest::keyClick(rig.window->tree(), Qt::Key_C, Qt::ControlModifier);
    ASSERT_EQ(stateOf(rig).itemClipboard.size(), 1u);
    EXPECT_EQ(stateOf(rig).itemClipboard[0]->sName, "Temp");
    focusNode(rig, "V.A2");
    QTest::keyClick(rig.window->tree(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(stateOf(rig).items.contains("V.A2.Temp"));
}

TEST(QuillmarReplace, TheSystemClipboardIsReadAndClearedAfterANamesPaste) {
    WindowRig rig;
    openPlant(rig);
    QGuiApplication::clipboard()->setText("Main_Pump\nSupply_Fan\n");
    selectRows(rig, "V.A2", {"V.A2.Fan", "V.A2.Pump"});
    whenModal<frmReplace>([](frmReplace& dialog) { dialog.yesButton()->click(); });
    rig.window->action("mnuPasteName")->trigger();
    EXPECT_TRUE(stateOf(rig).items.contains("V.A2.Main_Pump"));
    EXPECT_TRUE(stateOf(rig).items.contains("V.A2.Supply_Fan"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "");
}

TEST(QuillmarDragDrop, CtrlDraggingABranchToAnotherUnitCopiesItsWholeSubtree) {
    WindowRig rig;
    openPlant(rig);
    // The right button on A with Ctrl held makes it the source of a copy; the node under the
    // pointer is highlighted; the drop copies.
    QTreeWidget* tree = rig.window->tree();
    rig.window->itemOf(&rig.node("U"))->setExpanded(true);
    QTreeWidgetItem* sourceItem = rig.window->itemOf(&rig.node("U.A"));
    QTreeWidgetItem* targetItem = rig.window->itemOf(&rig.node("V"));
    QTest::mousePress(tree->viewport(), Qt::RightButton, Qt::ControlModifier,
                      tree->visualItemRect(sourceItem).center());
    TreeDragDrop& drag = rig.window->clipboard().dragDrop();
    EXPECT_EQ(drag.source(), &rig.node("U.A"));
    EXPECT_TRUE(drag.copies());
    EXPECT_NE(tree->currentItem(), sourceItem); // the right button does not select

    QMimeData mime;
    mime.setData(TreeDragDrop::kMimeType, "U.A");
    const QPointF over = tree->visualItemRect(targetItem).center();
    // Qt hands moves and the drop to the widget that accepted the drag's entry.
    QDragEnterEvent enter(tree->visualItemRect(sourceItem).center(),
                          Qt::CopyAction | Qt::MoveAction, &mime, Qt::RightButton,
                          Qt::ControlModifier);
    QApplication::sendEvent(tree->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(drag.dropTarget(), sourceItem);
    QDragMoveEvent move(over.toPoint(), Qt::CopyAction | Qt::MoveAction, &mime, Qt::RightButton,
                        Qt::ControlModifier);
    QApplication::sendEvent(tree->viewport(), &move);
    EXPECT_TRUE(move.isAccepted());
    EXPECT_EQ(drag.dropTarget(), targetItem);
    EXPECT_EQ(targetItem->background(0), tree->palette().highlight());
    QDropEvent drop(over, Qt::CopyAction | Qt::MoveAction, &mime, Qt::RightButton,
                    Qt::ControlModifier);
    QApplication::sendEvent(tree->viewport(), &drop);
    EXPECT_EQ(drag.dropTarget(), nullptr);
    settle(20);

    const EditorState& state = stateOf(rig);
    for (const char* key : {"V.A.Speed", "V.A.Temp", "V.A.Sub.Deep"})
        EXPECT_TRUE(state.items.contains(key)) << key;
    EXPECT_TRUE(state.branches.contains("V.A.Sub"));
    EXPECT_TRUE(state.items.contains("U.A.Sub.Deep"));
    EXPECT_EQ(childTexts(rig, "V"), (QStringList{"A2", "A"}));
    EXPECT_TRUE(rig.window->itemOf(&rig.node("V.A"))->isExpanded());
    EXPECT_TRUE(rig.messages().empty());

    // A drag whose source went away with a rebuilt tree ends; a drop queued before it is lost.
    QTest::mousePress(tree->viewport(), Qt::RightButton, {},
                      tree->visualItemRect(rig.window->itemOf(&rig.node("V.A"))).center());
    ASSERT_EQ(drag.source(), &rig.node("V.A"));
    rig.window->session().showChanged(rig.node("V"), rig.node("V"));
    EXPECT_EQ(drag.source(), nullptr);
    QTest::mouseRelease(tree->viewport(), Qt::RightButton);

    // Later edits of the copy leave the source alone.
    ScriptedClipboard clipboard;
    UseClipboard use(rig, clipboard);
    clipboard.content = "copied speed\r\ncopied temp\r\n";
    selectRows(rig, "V.A", {"V.A.Speed", "V.A.Temp"});
    whenModal<frmReplace>([](frmReplace& dialog) { dialog.yesButton()->click(); });
    rig.window->action("mnuPasteComment")->trigger();
    EXPECT_EQ(state.items.item("V.A.Speed").sComment, "copied speed");
    EXPECT_EQ(state.items.item("U.A.Speed").sComment, "");
    EXPECT_EQ(pasteNamesFromColumn(rig, "V.A.Sub", {"V.A.Sub.Deep"}, {"Deeper"}),
              QStringList{"Deep <--- Deeper"});
    EXPECT_TRUE(state.items.contains("V.A.Sub.Deeper"));
    EXPECT_TRUE(state.items.contains("U.A.Sub.Deep"));
}

TEST(QuillmarDragDrop, EachRefusedDropSaysWhyWithItsIconAndChangesNothing) {
    WindowRig rig;
    openPlant(rig);
    WindowClipboard& clipboard = rig.window->clipboard();
    const std::set<std::string> before = itemKeys(stateOf(rig));
    auto dropped = [&](const char* source, const char* target, bool copy) {
        rig.boxes.clear();
        return clipboard.drop(rig.node(source), rig.node(target), copy);
    };
    auto onlyMessage = [&](const char* text, MessageIcon icon) {
        auto shown = rig.boxes.shown();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, text);
        EXPECT_EQ(shown[0].icon, icon);
        EXPECT_EQ(shown[0].buttons, MessageButtons::ok);
    };
    EXPECT_EQ(dropped("U.A", "U.A.Sub", false), DropOutcome::unableHere); // onto its child
    onlyMessage("Unable to drag nodes here", MessageIcon::warning);
    EXPECT_EQ(dropped("U.A", "U", false), DropOutcome::ontoParent); // onto its parent
    EXPECT_TRUE(rig.messages().empty());
    EXPECT_EQ(dropped("U.A", "W", false), DropOutcome::nameInUse); // W has an A
    onlyMessage("Name already in use at this level. Move not allowed", MessageIcon::error);
    EXPECT_EQ(dropped("U.A.Sub", "U.A.Speed", true), DropOutcome::unableHere);
    EXPECT_EQ(dropped("U.A.Sub", "ModBus", false), DropOutcome::unableHere);
    EXPECT_EQ(dropped("U.A.Sub", "holding register", false), DropOutcome::unableHere);
    EXPECT_EQ(dropped("U.A.Sub", "", false), DropOutcome::unableHere);
    EXPECT_EQ(dropped("U", "V", false), DropOutcome::notDraggable);
    onlyMessage("Only branches and items can be moved or copied by dragging", MessageIcon::warning);
    EXPECT_EQ(dropped("holding register", "U.A", false), DropOutcome::notDraggable);
    EXPECT_EQ(dropped("", "U.A", true), DropOutcome::notDraggable);
    EXPECT_EQ(itemKeys(stateOf(rig)), before);
    EXPECT_TRUE(stateOf(rig).configSaved);

    // A move takes the same item along; the tree shows it at its new place, selected.
    EXPECT_EQ(dropped("U.A.Temp", "V.A2", false), DropOutcome::moved);
    EXPECT_TRUE(stateOf(rig).items.contains("V.A2.Temp"));
    EXPECT_FALSE(stateOf(rig).tree.contains("U.A.Temp"));
    EXPECT_EQ(rig.window->tree()->currentItem()->text(0), "Temp");
    EXPECT_EQ(childTexts(rig, "V.A2"), (QStringList{"Pump", "Fan", "Temp"}));
}

TEST(QuillmarReplace, CommentsNeedOneLinePerRowAndTheGridShowsTheChange) {
    WindowRig rig;
    openPlant(rig);
    ScriptedClipboard clipboard;
    UseClipboard use(rig, clipboard);
    const std::vector<std::string> rows{"V.A2.Pump", "V.A2.Fan"};
    for (const char* text : {"", "one\r\ntwo\r\nthree\r\n", "A\r\nB"}) {
        clipboard.content = text;
        selectRows(rig, "V.A2", rows);
        rig.window->action("pastcomment")->trigger();
    }
    EXPECT_EQ(rig.messages(), (std::vector<std::string>{"Empty clipboard !", "Invalid selection",
                                                        "Invalid selection"}));
    EXPECT_EQ(clipboard.clears, 0);
    EXPECT_EQ(clipboard.content, "A\r\nB");

    // Lines ended by LF alone, as many programs copy them. The list shows Fan above Pump.
    clipboard.content = "supply fan\nmain pump\n";
    selectRows(rig, "V.A2", rows);
    QStringList headers;
    QString arrow;
    int widths[3] = {};
    whenModal<frmReplace>([&](frmReplace& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Replace Text");
        QTableWidget* grid = dialog.grid();
        EXPECT_EQ(grid->objectName(), "Grid1");
        for (int c = 0; c < grid->columnCount(); ++c) {
            headers << grid->horizontalHeaderItem(c)->text();
            widths[c] = grid->columnWidth(c);
        }
        arrow = grid->item(1, 1)->text();
        EXPECT_EQ(grid->item(0, 0)->text(), ""); // Fan's comment so far
        EXPECT_EQ(grid->item(0, 2)->text(), "supply fan");
        EXPECT_EQ(dialog.findChild<QPushButton*>("Command2")->text(), "YES");
        EXPECT_EQ(dialog.findChild<QPushButton*>("Command1")->text(), "NO");
        dialog.yesButton()->click();
    });
    rig.window->action("mnuPasteComment")->trigger();
    EXPECT_EQ(headers, (QStringList{"Item comment", "", "New Item comment"}));
    EXPECT_EQ(arrow, "<---");
    EXPECT_EQ(widths[0], widths[2]); // 3000 twips each, the arrow's column far narrower
    EXPECT_GT(widths[0], 3 * widths[1]);
    EXPECT_GE(widths[1], rig.window->fontMetrics().horizontalAdvance("<---"));
    EXPECT_EQ(stateOf(rig).items.item("V.A2.Fan").sComment, "supply fan");
    EXPECT_EQ(stateOf(rig).items.item("V.A2.Pump").sComment, "main pump");
    EXPECT_EQ(rig.window->list()->cell(0, 1), "supply fan");
    EXPECT_EQ(clipboard.clears, 1); // more than one item changed
}

TEST(QuillmarReplace, NamesArePastedAllOrNothingAndSurviveSaveAndReopen) {
    WindowRig rig;
    openPlant(rig);
    ScriptedClipboard clipboard;
    UseClipboard use(rig, clipboard);
    const std::vector<std::string> rows{"V.A2.Fan", "V.A2.Pump"}; // as the list shows them

    // "NO" changes nothing.
    clipboard.content = "P1\r\nF1\r\n";
    selectRows(rig, "V.A2", rows);
    whenModal<frmReplace>([](frmReplace& dialog) { dialog.noButton()->click(); });
    rig.window->action("pastitem")->trigger();
    EXPECT_TRUE(stateOf(rig).items.contains("V.A2.Pump"));

    // Two identical names: refused, nothing changed, the user's clipboard kept.
    clipboard.content = "Same\r\nSame\r\n";
    selectRows(rig, "V.A2", rows);
    rig.window->action("mnuPasteName")->trigger();
    EXPECT_EQ(rig.messages(), std::vector<std::string>{"Name Same appears twice in the clipboard"});
    EXPECT_EQ(clipboard.content, "Same\r\nSame\r\n");
    EXPECT_EQ(clipboard.clears, 0);
    EXPECT_EQ(childTexts(rig, "V.A2"), (QStringList{"Pump", "Fan"}));

    // Swapped in one paste: both end swapped, both in the collection and the tree.
    rig.boxes.clear();
    EXPECT_EQ(pasteNamesFromColumn(rig, "V.A2", rows, {"Pump", "Fan"}),
              (QStringList{"Fan <--- Pump", "Pump <--- Fan"}));
    EXPECT_TRUE(rig.messages().empty());
    const EditorState& state = stateOf(rig);
    EXPECT_EQ(state.items.item("V.A2.Fan").nAddress, 30);
    EXPECT_EQ(state.items.item("V.A2.Pump").nAddress, 31);
    EXPECT_EQ(childTexts(rig, "V.A2"), (QStringList{"Fan", "Pump"}));

    // A blank in one name: that one is reported and keeps its name, the others are renamed.
    pasteNamesFromColumn(rig, "U.A", {"U.A.Speed", "U.A.Temp"}, {"Belt Speed", "Oil_Temp"});
    EXPECT_EQ(rig.messages(),
              std::vector<std::string>{"Character ( ) not acceptable in string Belt Speed"});
    EXPECT_TRUE(state.items.contains("U.A.Speed"));
    EXPECT_TRUE(state.items.contains("U.A.Oil_Temp"));
    EXPECT_EQ(rig.listRows().count("Oil_Temp"), 1);

    // Saved and opened again: the same items.
    const std::set<std::string> edited = itemKeys(state);
    const std::string path = rig.dir.file("plant-edited.xml");
    rig.dialogs.queue(path);
    ASSERT_EQ(rig.window->session().saveConfigurationAs(), SaveOutcome::saved);
    rig.open(path);
    EXPECT_EQ(itemKeys(stateOf(rig)), edited);
    EXPECT_EQ(stateOf(rig).items.item("V.A2.Pump").nAddress, 31);
}
