// The main window's file commands and selection without widgets: a scripted host answers the
// dialogs, scripted message boxes answer the questions.
#include "editor/EditorSession.h"

#include "FileOwnership.h"
#include "TestConfigs.h"
#include "editor/ConfigExport.h"
#include "fileformat/ConfigFormat.h"
#include "platform/MessageBox.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vorn;
using namespace vorn::editor;
using namespace vorn::editor::test;
namespace fs = std::filesystem;

namespace {

struct ScriptedHost : SessionHost {
    std::optional<std::string> kind = std::string(vorn::format::kTarnvaleName);
    std::string openPath;
    std::string saveAsPath;
    std::vector<std::string> calls;

    std::optional<std::string> chooseServerKind() override {
        calls.push_back("kind");
        return kind;
    }
    std::string chooseFileToOpen() override {
        calls.push_back("open");
        return openPath;
    }
    std::string chooseFileToSaveAs(const std::string& fileName) override {
        calls.push_back("saveAs " + fileName);
        return saveAsPath;
    }
    void importStarted() override { calls.push_back("importStarted"); }
    void importEnded() override { calls.push_back("importEnded"); }
    void configurationChanged() override {}
    void pathChanged() override {}
    void selectionChanged() override {}
};

std::vector<int> groupsOf(const CommandEnabling& enabling) {
    std::vector<int> groups;
    for (int group = 1; group <= kCommandGroupCount; ++group) {
        if (enabling.enabled(group))
            groups.push_back(group);
    }
    return groups;
}

class EditorSessionTest : public ::testing::Test {
protected:
    EditorSessionTest() : scope_(boxes_) {
        std::string pattern = (fs::temp_directory_path() / "editor-session-XXXXXX").string();
        dir_ = ::mkdtemp(pattern.data());
        session_ = std::make_unique<EditorSession>(host_, dir_, Registry(registryPath()));
    }
    ~EditorSessionTest() override {
        ::chmod(dir_.c_str(), 0700);
        fs::remove_all(dir_);
    }
    std::string registryPath() const { return dir_ + "/registry.ini"; }
    std::optional<std::string> registeredPath(const char* kind) const {
        return Registry(registryPath())
            .readString(std::string("SOFTWARE\\VornAutomation\\") + kind, "ConfigFile");
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> all;
        for (const auto& shown : boxes_.shown())
            all.push_back(shown.text);
        return all;
    }
    // A saved sample configuration of 19 items in 2 devices and 2 branches.
    std::string sampleFile() {
        EditorState sample;
        buildTarnvaleRoundTrip(sample);
        const std::string path = dir_ + "/sample.xml";
        EXPECT_TRUE(CreateXML(sample, path));
        return path;
    }

    ScriptedMessageBox boxes_;
    ScopedMessageBoxes scope_;
    ScriptedHost host_;
    std::string dir_;
    std::unique_ptr<EditorSession> session_;
};

} // namespace

TEST_F(EditorSessionTest, NewAsksTheKindAndClosingThatDialogChangesNothing) {
    host_.kind.reset();
    session_->newConfiguration();
    EXPECT_FALSE(session_->state().configOpen);
    EXPECT_FALSE(session_->configurationShown());
    EXPECT_EQ(groupsOf(session_->enabling()), (std::vector<int>{1}));

    host_.kind = vorn::format::kRennickName;
    session_->newConfiguration();
    EXPECT_EQ(session_->currentPath(), dir_ + "/Rennick.xml");
    EXPECT_EQ(session_->state().serverKind, vorn::format::kRennickName);
    EXPECT_TRUE(session_->state().configOpen);
    EXPECT_FALSE(session_->state().configSaved);
    EXPECT_EQ(session_->state().tree.root()->text, dir_ + "/Rennick.xml");
    // The root, the ModBus folder and the four standard types, as a saved file lists them.
    EXPECT_EQ(session_->state().tree.size(), 6u);
    std::vector<std::string> types;
    for (const auto& [key, type] : session_->state().modbusTypes)
        types.push_back(type->GetXmlTag());
    EXPECT_EQ(types, (std::vector<std::string>{
                         "\t\t<DATATYPE name=\"INPUTSTATUS\" readcode = \"2\" writecode=\"0\" "
                         "singlewrcode=\"0\"/>\r\n",
                         "\t\t<DATATYPE name=\"IREGISTER\" readcode = \"4\" writecode=\"0\" "
                         "singlewrcode=\"0\"/>\r\n",
                         "\t\t<DATATYPE name=\"COIL\" readcode = \"1\" writecode=\"15\" "
                         "singlewrcode=\"5\"/>\r\n",
                         "\t\t<DATATYPE name=\"HREGISTER\" readcode = \"3\" writecode=\"16\" "
                         "singlewrcode=\"6\"/>\r\n"}));
    EXPECT_EQ(groupsOf(session_->enabling()), (std::vector<int>{1, 2, 6, 12}));

    // An unsaved configuration is kept when the kind dialog is closed after the question.
    boxes_.queueAnswer(MessageAnswer::no);
    host_.kind.reset();
    session_->newConfiguration();
    EXPECT_EQ(texts(), std::vector<std::string>{"Do you want to save active configuration?"});
    EXPECT_EQ(session_->state().serverKind, vorn::format::kRennickName);
    EXPECT_TRUE(session_->state().configOpen);
}

TEST_F(EditorSessionTest, SaveWritesTheFileStoresThePathAndSaysSo) {
    session_->newConfiguration();
    EXPECT_EQ(session_->saveConfiguration(), SaveOutcome::saved);
    const std::string path = dir_ + "/Tarnvale.xml";
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(texts(), std::vector<std::string>{path + " saved"});
    EXPECT_EQ(registeredPath(vorn::format::kTarnvaleName), path);
    EXPECT_TRUE(session_->state().configSaved);
}

// An engineer of the service's group saves the plant file the service reads: the file and the
// registry keep their owner, group and mode, whatever the engineer's umask.
TEST_F(EditorSessionTest, SavingKeepsTheOwnerGroupAndModeOfTheFileAndTheRegistry) {
    session_->newConfiguration();
    const std::string path = dir_ + "/Tarnvale.xml";
    {
        std::FILE* old = std::fopen(path.c_str(), "w");
        std::fputs("old", old);
        std::fclose(old);
        std::FILE* registry = std::fopen(registryPath().c_str(), "w");
        std::fputs("[SOFTWARE\\VornAutomation\\Tarnvale]\nOpcUaPort=4840\n", registry);
        std::fclose(registry);
    }
    const vorn::test::FileOwnership plantFile = vorn::test::handOver(path, 0664);
    const vorn::test::FileOwnership registry = vorn::test::handOver(registryPath(), 0640);
    vorn::test::ScopedUmask strict(077);
    boxes_.queueAnswer(MessageAnswer::yes); // overwrite
    ASSERT_EQ(session_->saveConfiguration(), SaveOutcome::saved);
    EXPECT_EQ(registeredPath(vorn::format::kTarnvaleName), path);
    EXPECT_EQ(vorn::test::ownershipOf(path), plantFile);
    EXPECT_EQ(vorn::test::ownershipOf(registryPath()), registry);
}

// The registry already names the file (the installed registry names the plant folder's file):
// saving needs no right to write it. A registry that cannot be written is said to be so.
TEST_F(EditorSessionTest, ARegistryThatCannotBeUpdatedIsSaidToBeSoUnlessItNamesTheFileAlready) {
    session_->newConfiguration();
    const std::string path = dir_ + "/Tarnvale.xml";
    ASSERT_EQ(session_->saveConfiguration(), SaveOutcome::saved);
    struct stat before {};
    ::stat(registryPath().c_str(), &before);
    boxes_.clear();
    boxes_.queueAnswer(MessageAnswer::yes); // overwrite
    ASSERT_EQ(session_->saveConfiguration(), SaveOutcome::saved);
    struct stat after {};
    ::stat(registryPath().c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the registry was not rewritten";
    EXPECT_EQ(texts().back(), path + " saved");

    // A registry path inside a file cannot be written by anyone.
    const std::string blocked = path + "/registry.ini";
    EditorSession elsewhere(host_, dir_, Registry(blocked));
    elsewhere.newConfiguration();
    boxes_.clear();
    boxes_.queueAnswer(MessageAnswer::yes); // overwrite
    ASSERT_EQ(elsewhere.saveConfiguration(), SaveOutcome::saved);
    ASSERT_EQ(texts().size(), 3u);
    EXPECT_EQ(texts()[1], "The registry file " + blocked + " could not be updated (cannot read " +
                              blocked +
                              ": Not a directory). Ask whoever administers it to set "
                              "ConfigFile=" +
                              path + " under [SOFTWARE\\VornAutomation\\Tarnvale].");
    EXPECT_EQ(boxes_.shown()[1].icon, MessageIcon::warning);
    EXPECT_EQ(texts()[2], path + " saved");
}

TEST_F(EditorSessionTest, OverwriteNoLeadsToSaveAsAndCancelStopsTheCommandThatAsked) {
    session_->newConfiguration();
    const std::string path = dir_ + "/Tarnvale.xml";
    {
        std::FILE* old = std::fopen(path.c_str(), "w");
        std::fputs("old", old);
        std::fclose(old);
    }
    // New asks to save; Yes; the file exists: Cancel. New stops before the kind dialog.
    boxes_.queueAnswer(MessageAnswer::yes);
    boxes_.queueAnswer(MessageAnswer::cancel);
    host_.calls.clear();
    session_->newConfiguration();
    EXPECT_EQ(texts(),
              (std::vector<std::string>{"Do you want to save active configuration?",
                                        "File " + path + " already existing. Overwrite?"}));
    EXPECT_TRUE(host_.calls.empty());
    EXPECT_FALSE(session_->state().configSaved);
    EXPECT_EQ(readFile(path), "old");

    // Close: Yes, then No to overwriting leads to Save As; its dialog cancelled stops Close.
    boxes_.clear();
    boxes_.queueAnswer(MessageAnswer::yes);
    boxes_.queueAnswer(MessageAnswer::no);
    session_->closeConfiguration();
    EXPECT_EQ(texts(),
              (std::vector<std::string>{"Do you want to save this configuration?",
                                        "File " + path + " already existing. Overwrite?"}));
    EXPECT_EQ(host_.calls, std::vector<std::string>{"saveAs Tarnvale.xml"});
    EXPECT_TRUE(session_->state().configOpen);

    // Save As to another file: written, path and registry follow, no box.
    boxes_.clear();
    host_.saveAsPath = dir_ + "/other.xml";
    EXPECT_EQ(session_->saveConfigurationAs(), SaveOutcome::saved);
    EXPECT_TRUE(texts().empty());
    EXPECT_EQ(session_->currentPath(), dir_ + "/other.xml");
    EXPECT_EQ(session_->state().tree.root()->text, dir_ + "/other.xml");
    EXPECT_EQ(registeredPath(vorn::format::kTarnvaleName), dir_ + "/other.xml");
    EXPECT_EQ(readFile(path), "old");
}

TEST_F(EditorSessionTest, AFailedSaveSaysSoAndChangesNeitherPathNorRegistry) {
    // As root no folder is read-only; /proc/self takes no new files from anyone.
    const std::string readOnly = ::geteuid() == 0 ? "/proc/self" : dir_ + "/locked";
    if (::geteuid() != 0) {
        fs::create_directory(readOnly);
        ::chmod(readOnly.c_str(), 0555);
    }
    EditorSession session(host_, readOnly, Registry(registryPath()));
    session.newConfiguration();
    EXPECT_EQ(session.saveConfiguration(), SaveOutcome::failed);
    ASSERT_EQ(texts().size(), 1u);
    EXPECT_EQ(texts()[0].rfind(" Error n. 75  ", 0), 0u) << texts()[0];
    EXPECT_NE(texts()[0].find(" in CreateXML"), std::string::npos);
    EXPECT_FALSE(session.state().configSaved);
    EXPECT_FALSE(fs::exists(registryPath()));

    host_.saveAsPath = readOnly + "/elsewhere.xml";
    EXPECT_EQ(session.saveConfigurationAs(), SaveOutcome::failed);
    EXPECT_EQ(session.currentPath(), readOnly + "/Tarnvale.xml");

    // Exit asked to save: the failure keeps the window open; No closes it.
    boxes_.clear();
    boxes_.queueAnswer(MessageAnswer::yes);
    EXPECT_FALSE(session.exitRequested());
    EXPECT_TRUE(session.state().configOpen);
    boxes_.queueAnswer(MessageAnswer::no);
    EXPECT_TRUE(session.exitRequested());
    EXPECT_FALSE(session.state().configOpen);
}

TEST_F(EditorSessionTest, CancelAtTheSaveQuestionKeepsTheChangedConfigurationOpen) {
    session_->newConfiguration(); // changed, never saved
    const std::string sample = sampleFile();
    host_.openPath = sample;
    const std::vector<std::pair<const char*, std::function<void()>>> commands{
        {"New", [&] { session_->newConfiguration(); }},
        {"Open", [&] { session_->openConfiguration(); }},
        {"Close", [&] { session_->closeConfiguration(); }},
        {"Exit", [&] { EXPECT_FALSE(session_->exitRequested()); }},
    };
    for (const auto& [name, command] : commands) {
        SCOPED_TRACE(name);
        boxes_.clear();
        // Cancel, as Escape answers a box with a Cancel button.
        boxes_.queueAnswer(MessageAnswer::cancel);
        command();
        ASSERT_EQ(boxes_.shown().size(), 1u);
        EXPECT_EQ(boxes_.shown()[0].buttons, MessageButtons::yesNoCancel);
        EXPECT_TRUE(session_->state().configOpen);
        EXPECT_FALSE(session_->state().configSaved);
        EXPECT_EQ(session_->currentPath(), dir_ + "/Tarnvale.xml");
    }

    // Exit: Yes, then Cancel at the overwrite question keeps the window and the changes.
    EXPECT_EQ(session_->saveConfiguration(), SaveOutcome::saved);
    session_->state().configSaved = false; // a change
    boxes_.clear();
    boxes_.queueAnswer(MessageAnswer::yes);
    boxes_.queueAnswer(MessageAnswer::cancel);
    EXPECT_FALSE(session_->exitRequested());
    EXPECT_TRUE(session_->state().configOpen);
    // No closes without saving.
    boxes_.queueAnswer(MessageAnswer::no);
    EXPECT_TRUE(session_->exitRequested());
}

TEST_F(EditorSessionTest, OpenFillsTheConfigurationAndSetsTheCountersToCountPlusOne) {
    host_.openPath = sampleFile();
    session_->openConfiguration();
    const EditorState& state = session_->state();
    EXPECT_EQ(host_.calls, (std::vector<std::string>{"open", "importStarted", "importEnded"}));
    EXPECT_TRUE(state.configOpen);
    EXPECT_TRUE(state.configSaved);
    EXPECT_EQ(state.items.size(), 19u);
    EXPECT_EQ(state.itemCounter, 20);
    EXPECT_EQ(state.deviceCounter, 3);
    EXPECT_EQ(state.branchCounter, 3);
    EXPECT_EQ(state.typeCounter, 5);
    EXPECT_EQ(state.tree.selected(), state.tree.root());
    EXPECT_EQ(session_->listing().list.rows.size(), 2u); // the devices
    EXPECT_EQ(groupsOf(session_->enabling()), (std::vector<int>{1, 2, 6, 12}));
    EXPECT_TRUE(texts().empty());
}

TEST_F(EditorSessionTest, ARejectedFileLeavesNoConfigurationSoExitCannotWriteOverIt) {
    const std::string path = dir_ + "/broken.xml";
    const std::string bytes =
        "<VornModBusTcpIpCfg><OPC_DA><PLC name=\"P1\" address=\"10.0.0.1\" id=\"1\" "
        "timeout=\"1000\"><tags><tag><name>A</name></tag></tags></PLC></OPC_DA>"
        "</VornModBusTcpIpCfg>";
    {
        std::FILE* file = std::fopen(path.c_str(), "w");
        std::fputs(bytes.c_str(), file);
        std::fclose(file);
    }
    host_.openPath = path;
    session_->openConfiguration();
    ASSERT_EQ(texts().size(), 1u);
    EXPECT_NE(texts()[0].find(" in ImportXML"), std::string::npos);
    EXPECT_FALSE(session_->state().configOpen);
    EXPECT_FALSE(session_->configurationShown());
    EXPECT_TRUE(session_->currentPath().empty());
    EXPECT_EQ(session_->state().tree.size(), 0u);
    EXPECT_EQ(session_->state().devices.size(), 0u);
    EXPECT_EQ(groupsOf(session_->enabling()), (std::vector<int>{1}));

    boxes_.queueAnswer(MessageAnswer::yes);
    EXPECT_EQ(session_->saveConfiguration(), SaveOutcome::declined);
    EXPECT_TRUE(session_->exitRequested());
    EXPECT_EQ(readFile(path), bytes);
}

TEST_F(EditorSessionTest, ClicksListAndEnableAndColumnClicksSortAsText) {
    host_.openPath = sampleFile();
    session_->openConfiguration();
    EditorState& state = session_->state();
    session_->nodeClick(*state.tree.find("P1.Pumps"));
    EXPECT_EQ(state.tree.selected()->key, "P1.Pumps");
    const auto& rows = session_->listing().list.rows;
    ASSERT_EQ(rows.size(), 15u);
    // Names as text: T1, T10, T11, ... T2.
    EXPECT_EQ(rows[0].text, "T1");
    EXPECT_EQ(rows[1].text, "T10");
    session_->columnClick(6); // Index: by address
    EXPECT_EQ(session_->listing().list.rows[1].text, "T2");
    // The sort column stays for the next node.
    session_->nodeClick(*state.tree.find("P1.Pumps.Valves"));
    EXPECT_EQ(session_->listing().list.rows[0].text, "Open");

    session_->listRowClick("P1.Pumps.Valves.States");
    EXPECT_EQ(groupsOf(session_->enabling()), (std::vector<int>{1, 2, 7, 8, 10, 11, 12, 13, 14}));
    session_->listRowClick("no such key");
    EXPECT_EQ(groupsOf(session_->enabling()), (std::vector<int>{1, 2, 7, 8, 10, 11, 12, 13, 14}));

    session_->nodeClick(*state.tree.find("coil"));
    EXPECT_TRUE(session_->listing().list.rows.empty());
    EXPECT_TRUE(session_->enabling().enabled(kGroupDelete));
}
