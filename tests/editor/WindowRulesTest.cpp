// What the main window decides for a selection, without widgets: the enabled command groups,
// the list's columns and rows, finding nodes, the registry value, the handler guard and the
// counters of a large file.
#include "TestConfigs.h"
#include "editor/CommandGroups.h"
#include "editor/CommandHandler.h"
#include "editor/ConfigFileRegistry.h"
#include "editor/EditorError.h"
#include "editor/FindNode.h"
#include "editor/ModelInsert.h"
#include "editor/NodeListing.h"
#include "fileformat/ConfigFormat.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace vorn;
using namespace vorn::editor;
using namespace vorn::editor::test;

namespace {

std::vector<int> groupsOf(const CommandEnabling& enabling) {
    std::vector<int> groups;
    for (int group = 1; group <= kCommandGroupCount; ++group) {
        if (enabling.enabled(group))
            groups.push_back(group);
    }
    return groups;
}

std::vector<std::string> captions(const NodeListing& listing) {
    std::vector<std::string> texts;
    for (const ListColumn& column : listing.columns)
        texts.push_back(column.caption +
                        (column.widthFraction
                             ? "@" + std::to_string(*column.widthFraction).substr(0, 3)
                             : std::string()));
    return texts;
}

std::vector<std::string> rowTexts(const NodeListing& listing) {
    std::vector<std::string> texts;
    for (const ListRow& row : listing.list.rows)
        texts.push_back(row.text);
    return texts;
}

// The Tarnvale sample, plus a branch Area under P2 whose first child is a branch.
struct SampleConfig {
    EditorState state;
    SampleConfig() {
        buildTarnvaleRoundTrip(state);
        TreeNode& p2 = *state.tree.find("P2");
        TreeNode& area = branch(state, p2, "Area");
        TreeNode& hall = branch(state, area, "Hall");
        addItem(state, hall, item(hall.key, "Temp", "input register:signed 16 bit", 3, "READ"));
        addItem(state, area, item(area.key, "Alarm", "coil:boolean", 1, "READ"));
    }
    TreeNode& node(const std::string& key) { return *state.tree.find(key); }
};

} // namespace

TEST(CommandEnabling, EachSelectionEnablesItsGroups) {
    SampleConfig config;
    EditorState& state = config.state;
    EXPECT_EQ(groupsOf(enablingForNode(*state.tree.root())),
              (std::vector<int>{1, 2, 6, 9, 11, 12}));
    EXPECT_EQ(groupsOf(enablingForNode(config.node("ModBus"))),
              (std::vector<int>{1, 2, 3, 11, 12}));
    EXPECT_EQ(groupsOf(enablingForNode(config.node("coil"))), (std::vector<int>{1, 2, 10, 12}));
    EXPECT_EQ(groupsOf(enablingForNode(config.node("P1"))),
              (std::vector<int>{1, 2, 4, 5, 10, 11, 12}));
    EXPECT_EQ(groupsOf(enablingForNode(config.node("P1.Pumps.T1"))),
              (std::vector<int>{1, 2, 7, 8, 10, 11, 12, 13, 14}));
    // A branch whose first child is a branch: no paste of names or comments.
    EXPECT_EQ(groupsOf(enablingForNode(config.node("P2.Area"))),
              (std::vector<int>{1, 2, 4, 5, 9, 10, 11, 12}));
    // First child an item: both.
    EXPECT_EQ(groupsOf(enablingForNode(config.node("P1.Pumps"))),
              (std::vector<int>{1, 2, 3, 4, 5, 9, 10, 11, 12, 13, 14}));
    // An empty branch has no first child.
    TreeNode& empty = branch(state, config.node("P2"), "Empty");
    EXPECT_EQ(groupsOf(enablingForNode(empty)), (std::vector<int>{1, 2, 4, 5, 9, 10, 11, 12}));

    EXPECT_EQ(groupsOf(*enablingForListRow(config.node("coil"))), (std::vector<int>{1, 2, 10, 12}));
    EXPECT_EQ(groupsOf(*enablingForListRow(config.node("P1"))),
              (std::vector<int>{1, 2, 4, 5, 10, 11, 12}));
    EXPECT_EQ(groupsOf(*enablingForListRow(config.node("P1.Pumps"))),
              (std::vector<int>{1, 2, 4, 5, 9, 10, 11, 12}));
    EXPECT_EQ(groupsOf(*enablingForListRow(config.node("P1.Level"))),
              (std::vector<int>{1, 2, 7, 8, 10, 11, 12, 13, 14}));
    EXPECT_FALSE(enablingForListRow(*state.tree.root()));

    EXPECT_EQ(groupsOf(noConfigurationEnabling()), (std::vector<int>{1}));
    EXPECT_EQ(groupsOf(newConfigurationEnabling()), (std::vector<int>{1, 2, 6, 12}));
    EXPECT_TRUE(groupsOf(CommandEnabling()).empty());
}

TEST(CommandEnabling, AMenuIsEnabledWhenAnyOfItsEntriesIs) {
    EXPECT_FALSE(CommandEnabling::only({1, 2, 11, 12}).objectsMenu());
    EXPECT_FALSE(CommandEnabling::only({1, 2, 11, 12}).editMenu());
    for (int group : {3, 4, 5, 6, 10})
        EXPECT_TRUE(CommandEnabling::only({group}).objectsMenu()) << group;
    // Delete Object and the two clipboard paste entries are Edit entries too.
    for (int group : {7, 8, 9, 10, 13, 14})
        EXPECT_TRUE(CommandEnabling::only({group}).editMenu()) << group;
    EXPECT_TRUE(CommandEnabling::only({11}).viewMenu());
    EXPECT_TRUE(CommandEnabling::only({12}).toolsMenu());
    EXPECT_FALSE(CommandEnabling::only({2}).fileMenu());
    EXPECT_FALSE(CommandEnabling::only({0, 15}).enabled(0));
}

TEST(NodeListing, ColumnsAndRowsFollowTheSelectedNodesTag) {
    SampleConfig config;
    const EditorState& state = config.state;
    const std::vector<std::string> icons{"modbus", "plc", "boolean"};

    NodeListing root = listingForNode(state, *state.tree.root(), icons);
    EXPECT_EQ(captions(root),
              (std::vector<std::string>{"Unit Name@0.5", "ModBus Unit Identifier@0.4"}));
    EXPECT_EQ(rowTexts(root), (std::vector<std::string>{"P1", "P2"}));
    EXPECT_EQ(root.list.rows[1].subItem(1), "7");

    NodeListing types = listingForNode(state, config.node("ModBus"), icons);
    EXPECT_EQ(captions(types),
              (std::vector<std::string>{"Data Type Name@0.4", "Read Code@0.2", "Write Code@0.2",
                                        "Single Write Code@0.2"}));
    EXPECT_EQ(rowTexts(types), (std::vector<std::string>{"holding register", "coil",
                                                         "input register", "input status"}));
    EXPECT_EQ(types.list.rows[0].largeIcon, "modbus");

    NodeListing type = listingForNode(state, config.node("coil"), icons);
    EXPECT_TRUE(type.columns.empty());
    EXPECT_TRUE(type.list.rows.empty());

    NodeListing device = listingForNode(state, config.node("P2"), icons);
    EXPECT_EQ(captions(device), captions(root));
    EXPECT_EQ(rowTexts(device), (std::vector<std::string>{"P2"}));

    // A branch lists its direct items, not its sub-branches, with the Index column.
    NodeListing area = listingForNode(state, config.node("P2.Area"), icons);
    EXPECT_EQ(captions(area), (std::vector<std::string>{
                                  "Item Name@0.4", "Comment@0.4", "Address@0.2", "DataType@0.2",
                                  "ModBus Type@0.2", "Access Rights", "Index@0.3"}));
    EXPECT_EQ(rowTexts(area), (std::vector<std::string>{"Alarm"}));
    EXPECT_EQ(area.list.rows[0].subItem(6), "0000100CO");
    EXPECT_EQ(listingForNode(state, config.node("P1.Pumps"), icons).list.rows.size(), 15u);

    NodeListing one = listingForNode(state, config.node("P1.Level"), icons);
    EXPECT_EQ(captions(one).size(), 6u);
    EXPECT_EQ(rowTexts(one), (std::vector<std::string>{"Level"}));
    EXPECT_EQ(one.list.rows[0].subItems.size(), 5u); // no Index column
}

TEST(NodeListing, RowsSortAsTextOnAnyColumnWithoutRegardToCase) {
    std::vector<ListRow> rows;
    for (auto [name, address] :
         {std::pair{"b", "120"}, {"C", "40/BIT03"}, {"a", "200/LEN10"}, {"B", "120"}}) {
        ListRow row{name, name, {}, {}, {}};
        row.setSubItem(2, address);
        rows.push_back(row);
    }
    sortRowsAsText(rows, 0);
    EXPECT_EQ(rows[0].text + rows[1].text + rows[2].text + rows[3].text, "abBC");
    // As text, "120" < "200/LEN10" < "40/BIT03"; equal cells keep their order.
    sortRowsAsText(rows, 2);
    EXPECT_EQ(rows[0].text + rows[1].text + rows[2].text + rows[3].text, "bBaC");
    // A column no row has sorts nothing.
    sortRowsAsText(rows, 9);
    EXPECT_EQ(rows[0].text + rows[1].text + rows[2].text + rows[3].text, "bBaC");
}

TEST(FindNode, MatchesTheBeginningOfTheTextWithoutRegardToCaseInDisplayOrder) {
    EditorState state;
    startNew(state, vorn::format::kTarnvaleName);
    TreeNode& p1 = addDevice(state, tcpDevice("P1", "10.0.0.1", 1, 1000, 502));
    TreeNode& drives = branch(state, p1, "Drives");
    addItem(state, drives, item(drives.key, "MY_MOTOR", "coil:boolean", 1));
    addItem(state, drives, item(drives.key, "MOTOR_1", "coil:boolean", 2));
    TreeNode& deeper = branch(state, drives, "Motors");
    addItem(state, deeper, item(deeper.key, "Motor_2", "coil:boolean", 3));
    addItem(state, p1, item(p1.key, "motor_3", "coil:boolean", 4));

    EXPECT_EQ(findNode(state.tree, "mot", 0)->key, "P1.Drives.MOTOR_1");
    // Depth first: the sub-branch "Motors" and its item come before P1's own item.
    EXPECT_EQ(findNode(state.tree, "mot", 1)->key, "P1.Drives.Motors");
    EXPECT_EQ(findNode(state.tree, "mot", 2)->key, "P1.Drives.Motors.Motor_2");
    EXPECT_EQ(findNode(state.tree, "mot", 3)->key, "P1.motor_3");
    EXPECT_EQ(findNode(state.tree, "mot", 9)->key, "P1.motor_3"); // fewer: the last stays
    EXPECT_EQ(findNode(state.tree, "MY_", 0)->key, "P1.Drives.MY_MOTOR");
    EXPECT_EQ(findNode(state.tree, "", 0), nullptr);
    EXPECT_EQ(findNode(state.tree, "motors_", 0), nullptr);
    EXPECT_EQ(findNode(state.tree, "MOTOR_1 and more", 0), nullptr);
}

TEST(ConfigFileRegistry, StoresThePathUnderTheServerKindsKeyAndIsSilentOnFailure) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "editor-registry-XXXXXX").string();
    const std::string dir = ::mkdtemp(pattern.data());
    Registry registry(dir + "/registry.ini");
    EXPECT_FALSE(
        storeConfigFilePath(registry, vorn::format::kRennickName, "/srv/plant/Rennick.xml"));
    // The key as the servers and the documentation spell it, never a spelling of its own.
    std::ifstream written(dir + "/registry.ini");
    std::string header;
    std::getline(written, header);
    EXPECT_EQ(header, "[SOFTWARE\\VornAutomation\\Rennick]");
    // Read as the servers read it.
    EXPECT_EQ(registry.readString("SOFTWARE\\VornAutomation\\Rennick", "ConfigFile"),
              "/srv/plant/Rennick.xml");
    EXPECT_FALSE(registry.readString("SOFTWARE\\VornAutomation\\Tarnvale", "ConfigFile"));

    ScriptedMessageBox boxes;
    ScopedMessageBoxes scope(boxes);
    Registry unwritable(dir + "/registry.ini/inside-a-file.ini");
    EXPECT_TRUE(storeConfigFilePath(unwritable, vorn::format::kTarnvaleName, "/x.xml"));
    EXPECT_TRUE(boxes.shown().empty());
    std::filesystem::remove_all(dir);
}

TEST(CommandHandler, AnErrorEndsTheHandlerWithTheStandardMessageNamingIt) {
    ScriptedMessageBox boxes;
    ScopedMessageBoxes scope(boxes);
    bool after = false;
    EXPECT_FALSE(runHandler("mnuOpenCfg_Click", [&] {
        throw EditorError(kErrDuplicateCollectionKey, "This key is already associated");
        after = true;
    }));
    EXPECT_FALSE(after);
    EXPECT_TRUE(runHandler("Form_Load", [] {}));
    EXPECT_FALSE(runHandler("Form_Load", [] { throw std::bad_alloc(); }));
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[0].text,
              " Error n. 457  This key is already associated in mnuOpenCfg_Click");
    EXPECT_EQ(boxes.shown()[0].buttons, MessageButtons::ok);
    EXPECT_EQ(boxes.shown()[1].text, " Error n. 7  Out of memory in Form_Load");
}

TEST(EditorState, CountersOfAFileWithFortyThousandItemsDoNotWrap) {
    EditorState state;
    startNew(state, vorn::format::kTarnvaleName);
    TreeNode& p1 = addDevice(state, tcpDevice("P1", "10.0.0.1", 1, 1000, 502));
    for (int i = 0; i < 40000; ++i)
        addItem(state, p1, item(p1.key, "T" + std::to_string(i), "coil:boolean", i % 65536));
    state.countersFromCollections();
    EXPECT_EQ(state.itemCounter, 40001);
    EXPECT_EQ(state.deviceCounter, 2);
    EXPECT_EQ(state.branchCounter, 1);
    EXPECT_EQ(state.typeCounter, 1);
}
