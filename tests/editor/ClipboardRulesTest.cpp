// Copy, paste, drag and drop and the clipboard replacements, without widgets: what each
// changes, what each refuses, and that objects and nodes stay in step.
#include "TestConfigs.h"
#include "editor/BulkReplace.h"
#include "editor/ConfigExport.h"
#include "editor/ConfigImport.h"
#include "editor/ItemClipboard.h"
#include "editor/ModelInsert.h"
#include "editor/StructureEdits.h"
#include "editor/TreeDrop.h"
#include "fileformat/ConfigFormat.h"
#include "platform/MessageBox.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>

using namespace vorn;
using namespace vorn::editor;
using namespace vorn::editor::test;

namespace {

// Each object has the node of its key and kind, and each branch or item node its object.
void expectInStep(const EditorState& state) {
    size_t nodes = 0;
    std::vector<const TreeNode*> pending{state.tree.root()};
    while (!pending.empty()) {
        const TreeNode* node = pending.back();
        pending.pop_back();
        ++nodes;
        for (const TreeNode* child : node->children) {
            EXPECT_EQ(child->parent, node);
            if (child->tag == kTagItem || child->tag == kTagBranch) {
                EXPECT_EQ(child->key, node->key + "." + child->text);
                EXPECT_TRUE(child->tag == kTagItem ? state.items.contains(child->key)
                                                   : state.branches.contains(child->key))
                    << child->key;
            }
            pending.push_back(child);
        }
    }
    EXPECT_EQ(nodes, state.tree.size()) << "nodes outside the tree";
    for (const auto& [key, item] : state.items) {
        EXPECT_EQ(item->sKey, key);
        EXPECT_TRUE(state.tree.find(key) && state.tree.find(key)->tag == kTagItem) << key;
    }
    for (const auto& [key, branch] : state.branches) {
        EXPECT_EQ(branch->sKey, key);
        EXPECT_TRUE(state.tree.find(key) && state.tree.find(key)->tag == kTagBranch) << key;
    }
}

std::set<std::string> itemKeys(const EditorState& state) {
    std::set<std::string> keys;
    for (const auto& [key, item] : state.items)
        keys.insert(key);
    return keys;
}

std::vector<std::string> childTexts(const TreeNode& node) {
    std::vector<std::string> texts;
    for (const TreeNode* child : node.children)
        texts.push_back(child->text);
    return texts;
}

// Unit U with branch A (items Speed and Temp, sub-branch Sub with Deep), unit V with branch A2
// and an item Pump, unit W with a branch A.
class ClipboardRules : public ::testing::Test {
protected:
    ClipboardRules() : scope_(boxes_) {
        startNew(state, vorn::format::kTarnvaleName);
        addModbusType(state, modbusType("holding register", 3, 16, 6));
        TreeNode& u = addDevice(state, tcpDevice("U", "127.0.0.1", 1, 1000, 502));
        TreeNode& a = branch(state, u, "A");
        addItem(state, a, item(a.key, "Speed", "holding register:signed 16 bit", 10));
        addItem(state, a, item(a.key, "Temp", "holding register:32 bit float", 12));
        TreeNode& sub = branch(state, a, "Sub");
        addItem(state, sub, item(sub.key, "Deep", "holding register:unsigned 16 bit", 20));
        TreeNode& v = addDevice(state, tcpDevice("V", "127.0.0.2", 2, 1000, 502));
        branch(state, v, "A2");
        addItem(state, v, item(v.key, "Pump", "holding register:signed 16 bit", 30));
        TreeNode& w = addDevice(state, tcpDevice("W", "127.0.0.3", 3, 1000, 502));
        branch(state, w, "A");
    }

    TreeNode& node(const std::string& key) {
        TreeNode* found = key.empty() ? state.tree.root() : state.tree.find(key);
        if (!found)
            throw std::runtime_error("no node " + key);
        return *found;
    }

    ScriptedMessageBox boxes_;
    ScopedMessageBoxes scope_;
    EditorState state;
};

} // namespace

TEST_F(ClipboardRules, CopyFromTheListRefusesDefaultNamesAndKeepsTheRowsBeforeThem) {
    TreeNode& a = node("U.A");
    addItem(state, a, item(a.key, "New_Item_3", "holding register:signed 16 bit", 40));
    addItem(state, a, item(a.key, "Copied_Item", "holding register:signed 16 bit", 41));
    state.copyCounter = 5;

    CopyOutcome outcome = copyListRows(state, {"U.A.Speed", "U.A.New_Item_3", "U.A.Temp"});
    EXPECT_EQ(outcome.refusal, kDefaultNameCopyMessage);
    EXPECT_EQ(outcome.stored, 1u);
    ASSERT_EQ(state.itemClipboard.size(), 1u);
    EXPECT_EQ(state.itemClipboard[0]->sName, "Speed");
    EXPECT_EQ(state.copyCounter, 0);

    // Refused at the first row: the clipboard keeps what it held.
    outcome = copyListRows(state, {"U.A.Copied_Item", "U.A.Temp"});
    EXPECT_EQ(outcome.refusal, kDefaultNameCopyMessage);
    ASSERT_EQ(state.itemClipboard.size(), 1u);
    EXPECT_EQ(state.itemClipboard[0]->sName, "Speed");

    outcome = copyListRows(state, {"U.A.Temp", "U.A.Speed"});
    EXPECT_FALSE(outcome.refusal);
    ASSERT_EQ(state.itemClipboard.size(), 2u);
    EXPECT_EQ(state.itemClipboard[0]->sName, "Temp");
    EXPECT_EQ(state.itemClipboard[1]->sName, "Speed");

    // From the tree only New_Item is a default name; a branch is copied by dragging.
    EXPECT_EQ(copyTreeNode(state, node("U.A.Copied_Item")).stored, 1u);
    EXPECT_EQ(state.itemClipboard.at(0)->sName, "Copied_Item");
    EXPECT_EQ(copyTreeNode(state, node("U.A.New_Item_3")).refusal, kDefaultNameCopyMessage);
    EXPECT_EQ(copyTreeNode(state, node("U.A")).refusal, kBranchCopyMessage);
    EXPECT_EQ(state.itemClipboard.at(0)->sName, "Copied_Item");
    EXPECT_FALSE(copyTreeNode(state, node("U")).refusal);
}

TEST_F(ClipboardRules, PastingBesideTheSourceCountsUpAndCollisionsOfAnyKindAreRenamed) {
    ASSERT_EQ(copyTreeNode(state, node("U.A.Speed")).stored, 1u);
    // What was copied is pasted, whatever happens to the original afterwards.
    state.items.item("U.A.Speed").nAddress = 99;

    TreeNode& a = node("U.A");
    EXPECT_EQ(pasteItems(state, a).added.at(0)->key, "U.A.Speed_0");
    EXPECT_EQ(pasteItems(state, a).added.at(0)->key, "U.A.Speed_1");
    EXPECT_EQ(state.items.item("U.A.Speed_1").nAddress, 10);
    EXPECT_EQ(state.items.item("U.A.Speed_1").sDataType, "holding register:signed 16 bit");
    EXPECT_EQ(state.copyCounter, 2);

    // Into a branch that holds a branch named Speed: the key collides with a node of another
    // kind, and the pasted item is renamed with the next counter.
    TreeNode& a2 = node("V.A2");
    branch(state, a2, "Speed");
    std::vector<TreeNode*> added = pasteItems(state, a2).added;
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0]->key, "V.A2.Speed_3");
    EXPECT_EQ(state.items.item("V.A2.Speed_3").sName, "Speed_3");
    EXPECT_EQ(state.copyCounter, 4);
    EXPECT_FALSE(state.configSaved);
    expectInStep(state);
}

TEST_F(ClipboardRules, PasteTakesOnlyABranchAndSaysWhenTheClipboardIsEmpty) {
    EXPECT_EQ(pasteItems(state, node("U.A")).refusal, kNothingToPasteMessage);
    ASSERT_EQ(copyTreeNode(state, node("U.A.Speed")).stored, 1u);
    const size_t nodes = state.tree.size();
    state.configSaved = true;
    for (const char* key : {"", "U", "ModBus", "holding register", "U.A.Temp"}) {
        PasteOutcome outcome = pasteItems(state, node(key));
        EXPECT_TRUE(outcome.added.empty()) << key;
        EXPECT_FALSE(outcome.refusal) << key;
    }
    EXPECT_EQ(state.tree.size(), nodes);
    EXPECT_TRUE(state.configSaved);
}

TEST_F(ClipboardRules, CutAndPasteBackGivesSpeed_0) {
    ASSERT_EQ(copyListRows(state, {"U.A.Speed"}).stored, 1u);
    ASSERT_TRUE(deleteObject(state, node("U.A.Speed")));
    EXPECT_EQ(pasteItems(state, node("U.A")).added.at(0)->text, "Speed_0");
    expectInStep(state);
}

TEST_F(ClipboardRules, TheClipboardLivesUntilCloseOrNewButSurvivesOpen) {
    ASSERT_EQ(copyTreeNode(state, node("U.A.Speed")).stored, 1u);
    state.startConfiguration("/plant/other.xml"); // what Open does before it imports
    EXPECT_EQ(state.itemClipboard.size(), 1u);
    EXPECT_EQ(state.copyCounter, 0);
    state.reset(); // Close and New
    EXPECT_TRUE(state.itemClipboard.empty());
    EXPECT_EQ(state.copyCounter, 1);
}

TEST_F(ClipboardRules, CtrlDraggingABranchToAnotherUnitCopiesTheWholeSubtree) {
    TreeNode& source = node("U.A");
    DropResult result = dropNode(state, source, node("V"), true);
    EXPECT_EQ(result.outcome, DropOutcome::copied);
    ASSERT_NE(result.added, nullptr);
    EXPECT_EQ(result.added->key, "V.A");
    for (const char* key : {"V.A.Speed", "V.A.Temp", "V.A.Sub.Deep"})
        EXPECT_TRUE(state.items.contains(key)) << key;
    EXPECT_TRUE(state.branches.contains("V.A.Sub"));
    EXPECT_EQ(childTexts(*result.added), childTexts(source));
    EXPECT_TRUE(state.items.contains("U.A.Sub.Deep")); // the source stays
    // New objects: editing the copy leaves the source alone.
    state.items.item("V.A.Sub.Deep").nAddress = 500;
    state.items.item("V.A.Speed").sComment = "copied";
    EXPECT_EQ(state.items.item("U.A.Sub.Deep").nAddress, 20);
    EXPECT_EQ(state.items.item("U.A.Speed").sComment, "");
    EXPECT_NE(state.branches.find("V.A.Sub"), state.branches.find("U.A.Sub"));
    expectInStep(state);
}

TEST_F(ClipboardRules, DraggingMovesTheSameObjectsUnderNewKeys) {
    std::shared_ptr<clsItem> deep = state.items.find("U.A.Sub.Deep");
    std::shared_ptr<clsBranch> sub = state.branches.find("U.A.Sub");
    DropResult result = dropNode(state, node("U.A.Sub"), node("V.A2"), false);
    EXPECT_EQ(result.outcome, DropOutcome::moved);
    EXPECT_EQ(state.items.find("V.A2.Sub.Deep"), deep);
    EXPECT_EQ(deep->sKey, "V.A2.Sub.Deep");
    EXPECT_EQ(state.branches.find("V.A2.Sub"), sub);
    EXPECT_FALSE(state.tree.contains("U.A.Sub"));
    EXPECT_FALSE(state.items.contains("U.A.Sub.Deep"));
    // An item onto a unit.
    EXPECT_EQ(dropNode(state, node("U.A.Temp"), node("W"), false).outcome, DropOutcome::moved);
    EXPECT_TRUE(state.items.contains("W.Temp"));
    EXPECT_EQ(childTexts(node("U.A")), (std::vector<std::string>{"Speed"}));
    expectInStep(state);
}

TEST_F(ClipboardRules, RefusedDropsChangeNothing) {
    const std::set<std::string> before = itemKeys(state);
    const size_t nodes = state.tree.size();
    state.configSaved = true;
    struct Case {
        const char* source;
        const char* target;
        DropOutcome outcome;
    };
    const Case cases[] = {
        {"U.A", "U.A.Sub", DropOutcome::unableHere}, // onto its own child
        {"U.A", "U.A", DropOutcome::unableHere},     // onto itself
        {"U.A", "U", DropOutcome::ontoParent},       // onto its parent
        {"U.A.Speed", "U.A", DropOutcome::ontoParent},
        {"U.A", "W", DropOutcome::nameInUse},              // W already has a branch A
        {"U.A.Sub", "U.A.Speed", DropOutcome::unableHere}, // onto an item
        {"U.A.Sub", "holding register", DropOutcome::unableHere},
        {"U.A.Sub", "ModBus", DropOutcome::unableHere},
        {"U.A.Sub", "", DropOutcome::unableHere}, // onto the root
        {"U", "V", DropOutcome::notDraggable},
        {"holding register", "U.A", DropOutcome::notDraggable},
        {"ModBus", "U.A", DropOutcome::notDraggable},
        {"", "U.A", DropOutcome::notDraggable},
    };
    for (const Case& c : cases) {
        for (bool copy : {false, true}) {
            DropResult result = dropNode(state, node(c.source), node(c.target), copy);
            EXPECT_EQ(result.outcome, c.outcome) << c.source << " onto " << c.target;
            EXPECT_EQ(result.added, nullptr);
        }
    }
    // A branch dropped where an item of its name lies collides on the key.
    TreeNode& a2 = node("V.A2");
    addItem(state, a2, item(a2.key, "Sub", "holding register:signed 16 bit", 50));
    EXPECT_EQ(dropNode(state, node("U.A.Sub"), a2, true).outcome, DropOutcome::nameInUse);
    state.items.remove("V.A2.Sub");
    state.tree.remove(*state.tree.find("V.A2.Sub"));
    EXPECT_EQ(itemKeys(state), before);
    EXPECT_EQ(state.tree.size(), nodes);
    EXPECT_TRUE(state.configSaved);
    expectInStep(state);

    EXPECT_EQ(dropMessage(DropOutcome::unableHere)->text, "Unable to drag nodes here");
    EXPECT_EQ(dropMessage(DropOutcome::unableHere)->icon, MessageIcon::warning);
    EXPECT_EQ(dropMessage(DropOutcome::nameInUse)->text,
              "Name already in use at this level. Move not allowed");
    EXPECT_EQ(dropMessage(DropOutcome::nameInUse)->icon, MessageIcon::error);
    EXPECT_EQ(dropMessage(DropOutcome::notDraggable)->icon, MessageIcon::warning);
    EXPECT_FALSE(dropMessage(DropOutcome::ontoParent));
}

TEST(ClipboardLines, LinesEndWithCrLfOrLfAndWhatFollowsTheLastIsIgnored) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(clipboardLines("A\r\nB\r\n"), (Lines{"A", "B"}));
    EXPECT_EQ(clipboardLines("A\nB\n"), (Lines{"A", "B"}));
    EXPECT_EQ(clipboardLines("A\r\nB\nC\r\n"), (Lines{"A", "B", "C"}));
    EXPECT_EQ(clipboardLines("A\r\nB"), (Lines{"A"}));
    EXPECT_EQ(clipboardLines("  A \r\n\r\n B\n"), (Lines{"A", "", "B"}));
    EXPECT_EQ(clipboardLines(" A B "), (Lines{" A B "})); // no line end: one line, untrimmed
    EXPECT_EQ(clipboardLines("A\rB"), (Lines{"A\rB"}));
}

TEST_F(ClipboardRules, CommentsNeedOneLinePerSelectedRow) {
    const std::vector<std::string> rows{"U.A.Speed", "U.A.Temp"};
    EXPECT_EQ(planReplace(state, ReplaceField::comment, "", rows).refusal, kEmptyClipboardMessage);
    EXPECT_EQ(planReplace(state, ReplaceField::comment, "x\r\ny\r\nz\r\n", rows).refusal,
              kInvalidSelectionMessage);
    EXPECT_EQ(planReplace(state, ReplaceField::comment, "A\r\nB", rows).refusal,
              kInvalidSelectionMessage);

    ReplacePlan plan = planReplace(state, ReplaceField::comment, "speed of the belt\ntemp\n", rows);
    ASSERT_FALSE(plan.refusal);
    ASSERT_EQ(plan.rows.size(), 2u);
    EXPECT_EQ(plan.rows[1].current, "");
    EXPECT_EQ(plan.rows[1].replacement, "temp");
    EXPECT_EQ(applyComments(state, plan).changed, 2u);
    EXPECT_EQ(state.items.item("U.A.Speed").sComment, "speed of the belt");
    EXPECT_EQ(state.items.item("U.A.Temp").sComment, "temp");
}

TEST_F(ClipboardRules, ANameWithABlankIsSkippedAndTheOthersAreRenamed) {
    TreeNode& a = node("U.A");
    addItem(state, a, item(a.key, "Level", "holding register:signed 16 bit", 40));
    state.tree.select(&a);
    ReplacePlan plan = planReplace(state, ReplaceField::name, "Belt\r\nHot Air\r\nTank\r\n",
                                   {"U.A.Speed", "U.A.Temp", "U.A.Level"});
    ASSERT_FALSE(plan.refusal);
    ReplaceResult result = applyNames(state, plan);
    EXPECT_FALSE(result.refusal);
    EXPECT_EQ(result.changed, 2u);
    EXPECT_EQ(result.skipped,
              std::vector<std::string>{"Character ( ) not acceptable in string Hot Air"});
    EXPECT_EQ(childTexts(a), (std::vector<std::string>{"Belt", "Temp", "Sub", "Tank"}));
    EXPECT_EQ(state.items.item("U.A.Belt").sName, "Belt");
    EXPECT_EQ(state.items.item("U.A.Belt").nAddress, 10);
    expectInStep(state);
}

TEST_F(ClipboardRules, SwappedNamesEndSwappedWithBothItemsPresent) {
    TreeNode& a = node("U.A");
    state.tree.select(&a);
    ReplacePlan plan =
        planReplace(state, ReplaceField::name, "Temp\nSpeed\n", {"U.A.Speed", "U.A.Temp"});
    ASSERT_FALSE(plan.refusal);
    ReplaceResult result = applyNames(state, plan);
    EXPECT_FALSE(result.refusal);
    EXPECT_EQ(result.changed, 2u);
    EXPECT_EQ(state.items.size(), 4u);
    EXPECT_EQ(state.items.item("U.A.Temp").nAddress, 10); // was Speed
    EXPECT_EQ(state.items.item("U.A.Speed").nAddress, 12);
    EXPECT_EQ(childTexts(a), (std::vector<std::string>{"Temp", "Speed", "Sub"}));
    expectInStep(state);
}

TEST_F(ClipboardRules, ARenameThatWouldCollideIsRefusedBeforeAnythingChanges) {
    TreeNode& a = node("U.A");
    state.tree.select(&a);
    const std::vector<std::string> rows{"U.A.Speed", "U.A.Temp"};
    // Two identical names, an empty one, the name of a sibling branch that is not renamed.
    EXPECT_EQ(planReplace(state, ReplaceField::name, "X\nX\n", rows).refusal,
              "Name X appears twice in the clipboard");
    EXPECT_EQ(planReplace(state, ReplaceField::name, "X\n\n", rows).refusal,
              "Line 2 of the clipboard holds no name");
    EXPECT_EQ(planReplace(state, ReplaceField::name, "Sub\nX\n", rows).refusal,
              kNameExistingMessage);
    // The names are checked before the count.
    EXPECT_EQ(planReplace(state, ReplaceField::name, "Sub\n", rows).refusal, kNameExistingMessage);
    EXPECT_EQ(planReplace(state, ReplaceField::name, "X\n", rows).refusal,
              kInvalidSelectionMessage);

    // Temp keeps its name (a refused character), so Speed may not take it.
    ReplacePlan plan = planReplace(state, ReplaceField::name, "Temp\nT;1\n", rows);
    ASSERT_FALSE(plan.refusal);
    ReplaceResult result = applyNames(state, plan);
    EXPECT_EQ(result.refusal, kNameExistingMessage);
    EXPECT_EQ(result.skipped.size(), 1u);
    EXPECT_EQ(result.changed, 0u);
    EXPECT_EQ(childTexts(a), (std::vector<std::string>{"Speed", "Temp", "Sub"}));
    expectInStep(state);

    // A control character from the clipboard is refused like a listed one.
    plan = planReplace(state, ReplaceField::name, "Belt\tA\nT2\n", rows);
    result = applyNames(state, plan);
    EXPECT_EQ(result.skipped.size(), 1u);
    EXPECT_TRUE(state.items.contains("U.A.T2"));
    EXPECT_TRUE(state.items.contains("U.A.Speed"));
}

TEST_F(ClipboardRules, TheFileSavedAfterTheseEditsReopensWithTheSameItems) {
    ASSERT_EQ(copyTreeNode(state, node("U.A.Speed")).stored, 1u);
    pasteItems(state, node("U.A"));
    ASSERT_EQ(dropNode(state, node("U.A"), node("V"), true).outcome, DropOutcome::copied);
    ASSERT_EQ(dropNode(state, node("U.A.Sub"), node("V.A2"), false).outcome, DropOutcome::moved);
    state.tree.select(&node("V.A"));
    ReplacePlan plan =
        planReplace(state, ReplaceField::name, "Temp\nSpeed\n", {"V.A.Speed", "V.A.Temp"});
    ASSERT_FALSE(applyNames(state, plan).refusal);

    const std::string path =
        (std::filesystem::temp_directory_path() / "clipboard-rules-reopen.xml").string();
    ASSERT_TRUE(CreateXML(state, path));
    EditorState reopened;
    reopened.startConfiguration(path);
    ASSERT_TRUE(ImportXML(reopened, path));
    std::filesystem::remove(path);
    EXPECT_EQ(itemKeys(reopened), itemKeys(state));
    EXPECT_EQ(reopened.items.item("V.A.Temp").nAddress, 10);
    EXPECT_EQ(reopened.items.item("V.A2.Sub.Deep").nAddress, 20);
    expectInStep(reopened);
}

// A drop that would put a branch deeper than the servers load is refused, saying why, as the
// branch dialog refuses such a branch.
TEST_F(ClipboardRules, ADropHoldsBranchesToTheDepthTheServersLoad) {
    TreeNode* level = &node("V");
    for (int depth = 1; depth <= kMaxBranchDepth - 1; ++depth)
        level = &branch(state, *level, "L" + std::to_string(depth));
    TreeNode& deepest = branch(state, *level, "Last"); // level 64
    const std::set<std::string> before = itemKeys(state);
    const size_t nodes = state.tree.size();
    // U.A holds Sub: two levels. Onto level 63 it would reach 65, onto level 64 66.
    for (TreeNode* target : {level, &deepest}) {
        for (bool copy : {false, true})
            EXPECT_EQ(dropNode(state, node("U.A"), *target, copy).outcome, DropOutcome::tooDeep);
    }
    EXPECT_EQ(itemKeys(state), before);
    EXPECT_EQ(state.tree.size(), nodes);
    const std::optional<DropMessage> message = dropMessage(DropOutcome::tooDeep);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->text, "Branches can be nested 64 levels deep under a unit: the servers "
                             "load no deeper ones.");
    // Its Sub alone reaches 64 onto level 63, and an item may go to the deepest branch.
    EXPECT_EQ(dropNode(state, node("U.A.Sub"), *level, false).outcome, DropOutcome::moved);
    EXPECT_EQ(dropNode(state, node("U.A.Speed"), deepest, true).outcome, DropOutcome::copied);
    expectInStep(state);
}
