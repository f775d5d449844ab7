// Adding, renaming and deleting units, branches and types: all or nothing, and every object
// with its node.
#include "editor/StructureEdits.h"

#include "TestConfigs.h"
#include "editor/ConfigExport.h"
#include "editor/ConfigImport.h"
#include "editor/EditorError.h"
#include "editor/ModelInsert.h"
#include "fileformat/ConfigFormat.h"
#include "platform/MessageBox.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::editor;
using namespace vorn::editor::test;

namespace {

// Every object has its node and every node of an object kind its object.
void expectConsistent(const EditorState& state) {
    size_t objects = 0;
    for (const auto& [key, device] : state.devices)
        EXPECT_TRUE(state.tree.find(key) && state.tree.find(key)->tag == kTagPlc) << key;
    for (const auto& [key, branch] : state.branches) {
        EXPECT_EQ(branch->sKey, key);
        EXPECT_TRUE(state.tree.find(key) && state.tree.find(key)->tag == kTagBranch) << key;
    }
    for (const auto& [key, item] : state.items) {
        EXPECT_EQ(item->sKey, key);
        EXPECT_TRUE(state.tree.find(key) && state.tree.find(key)->tag == kTagItem) << key;
    }
    objects = state.devices.size() + state.branches.size() + state.items.size() +
              state.modbusTypes.size();
    EXPECT_EQ(state.tree.size(), objects + 2); // the root and the ModBus folder
}

std::vector<std::string> deviceOrder(const EditorState& state) {
    std::vector<std::string> keys;
    for (const auto& [key, device] : state.devices)
        keys.push_back(key);
    return keys;
}

} // namespace

// The unit dialog replaces the unit also when only its settings changed.
TEST(StructureEdits, ChangingAUnitsSettingsKeepsItsNameAndEverythingBelow) {
    EditorState state;
    buildTarnvaleRoundTrip(state);
    auto edited = std::make_shared<clsPLC>(state.devices.item("P1"));
    edited->setTimeout(4321);
    replaceDevice(state, *state.tree.find("P1"), edited);
    EXPECT_EQ(state.devices.item("P1").getTimeout(), 4321u);
    EXPECT_TRUE(state.items.contains("P1.Pumps.Valves.Open"));
    EXPECT_TRUE(state.tree.contains("P1.Pumps.Valves"));
}

TEST(StructureEdits, RenamingAUnitReKeysEverythingBelowAndKeepsItsPlace) {
    EditorState state;
    buildTarnvaleRoundTrip(state);
    auto renamed = std::make_shared<clsPLC>(state.devices.item("P1"));
    renamed->setName("Press");
    renamed->keyFromName();
    replaceDevice(state, *state.tree.find("P1"), renamed);
    EXPECT_EQ(deviceOrder(state), (std::vector<std::string>{"Press", "P2"}));
    EXPECT_TRUE(state.items.contains("Press.Pumps.Valves.Open"));
    EXPECT_EQ(state.tree.find("Press.Pumps.Valves")->text, "Valves");
    EXPECT_FALSE(state.tree.contains("P1.Pumps"));
    EXPECT_FALSE(state.configSaved);
    expectConsistent(state);

    // Saved and read back: the renamed unit is still the first in the file.
    ScriptedMessageBox boxes;
    ScopedMessageBoxes scope(boxes);
    const std::string path =
        (std::filesystem::temp_directory_path() / "structure-edits-rename.xml").string();
    ASSERT_TRUE(CreateXML(state, path));
    EditorState reopened;
    reopened.startConfiguration(path);
    ASSERT_TRUE(ImportXML(reopened, path));
    EXPECT_EQ(deviceOrder(reopened), (std::vector<std::string>{"Press", "P2"}));
    EXPECT_EQ(reopened.items.size(), state.items.size());
    std::filesystem::remove(path);
}

TEST(StructureEdits, ARenameOntoATakenKeyChangesNothing) {
    EditorState state;
    buildTarnvaleRoundTrip(state);
    TreeNode& pumps = *state.tree.find("P1.Pumps");
    // "Level" is an item beside the branch.
    EXPECT_THROW(renameBranch(state, pumps, "Level"), EditorError);
    EXPECT_EQ(pumps.key, "P1.Pumps");
    auto unit = std::make_shared<clsPLC>(state.devices.item("P1"));
    unit->setName("P2");
    unit->keyFromName();
    EXPECT_THROW(replaceDevice(state, *state.tree.find("P1"), unit), EditorError);
    unit->setName("coil");
    unit->keyFromName();
    EXPECT_THROW(replaceDevice(state, *state.tree.find("P1"), unit), EditorError);
    EXPECT_EQ(state.devices.item("P1").getName(), "P1");
    expectConsistent(state);

    renameBranch(state, pumps, "Drives");
    EXPECT_TRUE(state.items.contains("P1.Drives.T1"));
    EXPECT_TRUE(state.branches.contains("P1.Drives.Valves"));
    EXPECT_EQ(state.branches.item("P1.Drives").sName, "Drives");
    expectConsistent(state);
}

TEST(StructureEdits, BranchNamesTheFilesCannotCarryAreRefused) {
    EditorState state;
    buildTarnvaleRoundTrip(state);
    const TreeNode& p1 = *state.tree.find("P1");
    EXPECT_EQ(branchNameProblem(state, p1, "", nullptr), "Branch name is empty.");
    EXPECT_EQ(branchNameProblem(state, p1, "A.B", nullptr),
              "Character (.) not acceptable in string A.B");
    EXPECT_NE(branchNameProblem(state, p1, "1st", nullptr), std::nullopt);
    EXPECT_NE(branchNameProblem(state, p1, "TAG", nullptr), std::nullopt);
    EXPECT_EQ(branchNameProblem(state, p1, "Level", nullptr),
              "Name already existing. Please use a different name");
    EXPECT_EQ(branchNameProblem(state, p1, "Pumps", state.tree.find("P1.Pumps")), std::nullopt);
    EXPECT_EQ(branchNameProblem(state, p1, "Tanks_2", nullptr), std::nullopt);
}

TEST(StructureEdits, BranchNamesAndDepthsTheServersCannotLoadAreRefused) {
    EditorState state;
    buildTarnvaleRoundTrip(state);
    TreeNode& p1 = *state.tree.find("P1");
    // An element name of an ISO-8859-1 file carries no character reference.
    for (const char* refused : {"\u03A9mega", "a\u00D7b", "\u00B5s", "T\u20AC"})
        EXPECT_NE(branchNameProblem(state, p1, refused, nullptr), std::nullopt) << refused;
    EXPECT_EQ(branchNameProblem(state, p1, "\u00C4rger_\u00FF", nullptr), std::nullopt);

    // Written anyway (a name from another source), it refuses the save instead of a file the
    // servers cannot parse.
    addNewBranch(state, p1, "\u03A9mega");
    EXPECT_THROW(configurationText(state), EditorError);

    // 64 levels under a unit are loaded by the servers, a 65th is not.
    TreeNode* parent = state.tree.find("P2");
    for (int level = 1; level <= 64; ++level) {
        ASSERT_EQ(branchNameProblem(state, *parent, "L", nullptr), std::nullopt) << level;
        parent = &addNewBranch(state, *parent, "L");
    }
    EXPECT_EQ(branchNameProblem(state, *parent, "L", nullptr),
              "Branches can be nested 64 levels deep under a unit: the servers load no deeper "
              "ones.");
}

TEST(StructureEdits, AddsCountAndDeletesTakeWholeSubtreesButNotAUnitThatIsNotEmpty) {
    EditorState state;
    buildTarnvaleRoundTrip(state);
    state.countersFromCollections();
    TreeNode& added = addNewBranch(state, *state.tree.find("P2"), "Tanks");
    EXPECT_EQ(added.key, "P2.Tanks");
    EXPECT_EQ(state.tree.selected(), &added);
    EXPECT_EQ(state.branchCounter, 4);
    auto unit = std::make_shared<clsPLC>();
    unit->setName("P3");
    unit->keyFromName();
    addNewDevice(state, unit);
    EXPECT_EQ(state.deviceCounter, 4);
    EXPECT_THROW(addNewBranch(state, *state.tree.find("P1"), "Level"), EditorError);
    expectConsistent(state);

    EXPECT_FALSE(deleteObject(state, *state.tree.find("P1")));
    EXPECT_FALSE(deleteObject(state, *state.tree.find("coil")));
    EXPECT_TRUE(deleteObject(state, *state.tree.find("P1.Pumps")));
    EXPECT_FALSE(state.items.contains("P1.Pumps.Valves.Open"));
    EXPECT_FALSE(state.branches.contains("P1.Pumps.Valves"));
    EXPECT_EQ(state.items.size(), 2u); // Level and Counter
    EXPECT_TRUE(deleteObject(state, *state.tree.find("P1.Level")));
    EXPECT_TRUE(deleteObject(state, *state.tree.find("P1")));
    EXPECT_FALSE(state.devices.contains("P1"));
    expectConsistent(state);
}
