#include "TestConfigs.h"
#include "editor/EditorError.h"
#include "editor/ModelInsert.h"
#include "editor/NameRules.h"
#include "fileformat/ConfigFormat.h"
#include "platform/MessageBox.h"

#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::editor;
using namespace vorn::editor::test;

namespace {

std::vector<std::string> keysOf(const KeyedCollection<clsItem>& items) {
    std::vector<std::string> keys;
    for (const auto& [key, item] : items)
        keys.push_back(key);
    return keys;
}

int errorNumberOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EditorError& error) {
        return error.number();
    }
    return 0;
}

} // namespace

TEST(KeyedCollection, KeepsInsertionOrderAndRefusesATakenKey) {
    KeyedCollection<clsItem> items;
    items.add("U.B", std::make_shared<clsItem>());
    items.add("U.A", std::make_shared<clsItem>());
    auto first = items.find("U.B");
    EXPECT_EQ(errorNumberOf([&] { items.add("U.B", std::make_shared<clsItem>()); }), 457);
    EXPECT_EQ(items.find("U.B"), first);
    EXPECT_EQ(errorNumberOf([&] { items.add("", std::make_shared<clsItem>()); }), 5);
    EXPECT_TRUE(items.remove("U.B"));
    items.add("U.B", first);
    EXPECT_EQ(keysOf(items), (std::vector<std::string>{"U.A", "U.B"}));
    EXPECT_EQ(items.find("u.a"), nullptr);
}

TEST(NodeTree, RefusesATakenKeyAndRemovesWholeSubtrees) {
    NodeTree tree;
    TreeNode& root = tree.resetWithRoot("/plant/a.xml");
    TreeNode& unit = tree.add(root, "U", "U", kTagPlc, kTagPlc);
    TreeNode& branch = tree.add(unit, "U.A", "A", kTagBranch, kTagBranch);
    tree.add(branch, "U.A.X", "X", kTagItem, kTagItem);
    EXPECT_EQ(errorNumberOf([&] { tree.add(unit, "U.A", "A", kTagItem, kTagItem); }), 35602);
    EXPECT_EQ(unit.children.size(), 1u);

    tree.ensureVisible(*tree.find("U.A.X"));
    EXPECT_TRUE(branch.expanded);
    EXPECT_TRUE(unit.expanded);

    tree.remove(branch);
    EXPECT_EQ(tree.find("U.A"), nullptr);
    EXPECT_EQ(tree.find("U.A.X"), nullptr);
    EXPECT_TRUE(unit.children.empty());
    EXPECT_EQ(tree.size(), 2u);
}

TEST(Keys, ParentKeyDropsTheLastLevel) {
    clsBranch branch;
    branch.sKey = "Unit1.A.B";
    EXPECT_EQ(branch.getParentKey(), "Unit1.A");
    clsItem item;
    item.sKey = "Unit1";
    EXPECT_EQ(item.getParentKey(), "");
}

TEST(Keys, MakeKeyUsesTheNodeOrItsParent) {
    EditorState state;
    startNew(state, format::kTarnvaleName);
    TreeNode& unit = addDevice(state, std::make_shared<clsPLC>([] {
                                   clsPLC p;
                                   p.setName("Unit1");
                                   p.keyFromName();
                                   return p;
                               }()));
    TreeNode& a = branch(state, unit, "A");
    EXPECT_EQ(MakeKey("Motor", a, false), "Unit1.A.Motor");
    EXPECT_EQ(MakeKey("C", a, true), "Unit1.C");
}

TEST(SetByCopy, CopyBesideItsSourceGetsTheCounterAndElsewhereKeepsItsName) {
    clsItem source =
        *item("Unit1", "Speed", "holding register:signed 16 bit", 12, "READ", 0, 0, "speed");
    clsItem beside;
    beside.SetByCopy(source, "Unit1", 2);
    EXPECT_EQ(beside.sName, "Speed_2");
    EXPECT_EQ(beside.sKey, "Unit1.Speed_2");
    EXPECT_EQ(beside.sComment, "speed");
    EXPECT_EQ(beside.nAddress, 12);
    EXPECT_EQ(beside.sDataType, "holding register:signed 16 bit");
    EXPECT_EQ(beside.sAccessRight, "READ");

    clsItem elsewhere;
    elsewhere.SetByCopy(source, "Unit1.Line2", 2);
    EXPECT_EQ(elsewhere.sName, "Speed");
    EXPECT_EQ(elsewhere.sKey, "Unit1.Line2.Speed");
}

TEST(ReKeySubtree, RenamedBranchReKeysEverythingBelowInTreeAndCollections) {
    EditorState state;
    startNew(state, format::kTarnvaleName);
    auto plc = std::make_shared<clsPLC>();
    plc->setName("Unit1");
    plc->keyFromName();
    TreeNode& unit = addDevice(state, plc);
    TreeNode& a = branch(state, unit, "A");
    addItem(state, a, item(a.key, "X", "coil:boolean", 1));
    TreeNode& b = branch(state, a, "B");
    addItem(state, b, item(b.key, "Y", "coil:boolean", 2));

    // What the branch dialog does on a rename, then the re-keying.
    auto renamed = state.branches.find("Unit1.A");
    renamed->sName = "C";
    renamed->sKey = MakeKey("C", a, true);
    state.branches.remove("Unit1.A");
    state.branches.add(renamed->sKey, renamed);
    a.text = "C";
    state.tree.setKey(a, renamed->sKey);
    ReKeySubtree(state, a);

    for (const char* key : {"Unit1.C.X", "Unit1.C.B.Y"}) {
        ASSERT_NE(state.tree.find(key), nullptr) << key;
        ASSERT_NE(state.items.find(key), nullptr) << key;
        EXPECT_EQ(state.items.find(key)->sKey, key);
    }
    ASSERT_NE(state.branches.find("Unit1.C.B"), nullptr);
    EXPECT_EQ(state.branches.find("Unit1.C.B")->sKey, "Unit1.C.B");
    EXPECT_NE(state.tree.find("Unit1.C.B"), nullptr);
    for (const char* old : {"Unit1.A.X", "Unit1.A.B.Y", "Unit1.A.B"}) {
        EXPECT_EQ(state.tree.find(old), nullptr) << old;
        EXPECT_EQ(state.items.find(old), nullptr) << old;
        EXPECT_EQ(state.branches.find(old), nullptr) << old;
    }
}

TEST(ListRows, ItemRowsShowAddressLengthBitAndIndex) {
    ListView list;
    item("U", "Arr", "holding register:signed 16 bit array", 12, "READ", 0, 4, "four words")
        ->AddToListView(list, false);
    item("U", "Flag", "input register:boolean", 12, "READ", 3)->AddToListView(list, true);
    item("U", "Text", "holding register:string", 7, "READWRITE", 0, 10)->AddToListView(list, false);
    item("U", "Bits", "coil:array", 40, "READWRITE", 0, 8)->AddToListView(list, true);
    item("U", "Odd", "pressure:signed 16 bit", 5)->AddToListView(list, true);
    ASSERT_EQ(list.rows.size(), 5u);

    const ListRow& arr = list.rows[0];
    EXPECT_EQ(arr.key, "U.Arr");
    EXPECT_EQ(arr.text, "Arr");
    EXPECT_EQ(arr.subItems,
              (std::vector<std::string>{"four words", "12/LEN4", "signed 16 bit array",
                                        "holding register", "READ"}));
    EXPECT_EQ(arr.largeIcon, "signed 16 bit");
    EXPECT_EQ(arr.smallIcon, "item");

    EXPECT_EQ(list.rows[1].subItem(2), "12/BIT03");
    EXPECT_EQ(list.rows[1].subItem(6), "0001203IR");
    EXPECT_EQ(list.rows[1].largeIcon, "boolean");
    EXPECT_EQ(list.rows[2].subItem(2), "7/LEN10");
    EXPECT_EQ(list.rows[2].subItem(6), "");

    const ListRow& bits = list.rows[3];
    EXPECT_EQ(bits.subItem(2), "40/BIT00/LEN8");
    EXPECT_EQ(bits.subItem(3), "boolean array");
    EXPECT_EQ(bits.subItem(4), "coil");
    EXPECT_EQ(bits.subItem(6), "0004000CO");
    EXPECT_EQ(bits.largeIcon, "boolean");

    EXPECT_EQ(list.rows[4].subItem(6), "0000500"); // an unknown kind adds no abbreviation
}

TEST(ListRows, ModbusTypeShowsOnlyCodesThatAreSetAndDeviceItsUnit) {
    ListView list;
    list.largeIconKeys = {"boolean", "string"};
    modbusType("input status", 2, 0, 0)->AddToListView(list);
    modbusType("holding register", 3, 16, 6)->AddToListView(list);
    clsPLC plc;
    plc.setName("P1");
    plc.setUI(17);
    plc.AddToListView(list);

    EXPECT_EQ(list.rows[0].key, "input status");
    EXPECT_EQ(list.rows[0].subItems, (std::vector<std::string>{"2"}));
    EXPECT_EQ(list.rows[0].largeIcon, "boolean");
    EXPECT_EQ(list.rows[1].subItems, (std::vector<std::string>{"3", "16", "6"}));
    EXPECT_EQ(list.rows[2].subItems, (std::vector<std::string>{"17"}));
    EXPECT_EQ(list.rows[2].largeIcon, "plc");
}

TEST(NameRules, DuplicateNamesAmongSiblingsOfTheSameKindAreRefused) {
    ScriptedMessageBox boxes;
    ScopedMessageBoxes scope(boxes);
    EditorState state;
    startNew(state, format::kTarnvaleName);
    auto plc = std::make_shared<clsPLC>();
    plc->setName("U");
    plc->keyFromName();
    TreeNode& unit = addDevice(state, plc);
    TreeNode& pumps = branch(state, unit, "Pumps");
    addItem(state, unit, item("U", "Level", "coil:boolean", 0));

    state.tree.select(&unit);
    EXPECT_FALSE(CheckDuplNames(kTagBranch, "Pumps", state.tree, false));
    EXPECT_TRUE(CheckDuplNames(kTagBranch, "pumps", state.tree, false));
    EXPECT_TRUE(CheckDuplNames(kTagItem, "Pumps", state.tree, false));
    state.tree.select(&pumps);
    EXPECT_TRUE(CheckDuplNames(kTagBranch, "Pumps", state.tree, true));   // renaming to itself
    EXPECT_TRUE(CheckDuplNames(kTagItem, "Anything", state.tree, false)); // no children

    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, "Name already existing. Please use a different name");
    EXPECT_EQ(boxes.shown()[0].buttons, MessageButtons::ok);
}

TEST(NameRules, FirstRefusedCharacterIsReported) {
    ScriptedMessageBox boxes;
    ScopedMessageBoxes scope(boxes);
    EXPECT_TRUE(CheckNameChars("Pump_1-A"));
    EXPECT_FALSE(CheckNameChars("a/b c"));
    EXPECT_FALSE(CheckNameChars("x|y"));
    for (char c : {'.', ',', ':', ';', '\\'})
        EXPECT_FALSE(CheckNameChars(std::string("n") + c)) << c;
    auto shown = boxes.shown();
    ASSERT_EQ(shown.size(), 7u);
    EXPECT_EQ(shown[0].text, "Character ( ) not acceptable in string a/b c");
    EXPECT_EQ(shown[1].text, "Character (|) not acceptable in string x|y");
    EXPECT_EQ(shown[6].text, "Character (\\) not acceptable in string n\\");
}

TEST(NameRules, NumericKeyFilterPassesDigitsSignsAndEditingKeys) {
    for (int c : {int('0'), int('5'), int('9'), int('-'), int('.'), 8, 9, 10, 13, 32})
        EXPECT_EQ(NumericKeyFilter(c), c) << c;
    for (int c : {int('a'), int('E'), int('+'), int(','), 0x7F, 27})
        EXPECT_EQ(NumericKeyFilter(c), 0) << c;
}
