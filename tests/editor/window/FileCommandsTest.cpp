// The main window's start-up and file commands, driven like a user on the offscreen platform.
#include "TestConfigs.h"
#include "WindowRig.h"
#include "editor/window/frmFind.h"
#include "fileformat/ConfigFormat.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QToolBar>
#include <QTreeWidget>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace vorn;
using namespace vorn::editor;
using namespace vorn::editor::test;
namespace fs = std::filesystem;

namespace {

const QStringList kNoConfigurationCommands{"exit",       "mnuAbout", "mnuExit", "mnuNewCfg",
                                           "mnuOpenCfg", "new",      "open"};

std::string entries(const QMenu& menu) {
    std::string text;
    for (QAction* entry : menu.actions()) {
        text += entry->isSeparator()
                    ? "-"
                    : entry->text().toStdString() + "(" + entry->objectName().toStdString() + ")";
        if (!entry->shortcut().isEmpty())
            text += entry->shortcut().toString().toStdString();
        text += " ";
    }
    return text;
}

} // namespace

TEST(QuillmarWindow, StartsWithItsMenusToolbarAndLayoutAndOnlyNewOpenExitAbout) {
    WindowRig rig;
    frmEditing& window = *rig.window;
    EXPECT_EQ(window.windowTitle(), "Vorn Automation - Quillmar");
    EXPECT_EQ(window.objectName(), "frmEditing");
    EXPECT_EQ(rig.enabledCommands(), kNoConfigurationCommands);
    EXPECT_TRUE(window.menu("mnuFile")->menuAction()->isEnabled());
    for (const char* name : {"mnuObjects", "mnuEdit", "mnuView", "mnuTools"})
        EXPECT_FALSE(window.menu(name)->menuAction()->isEnabled()) << name;
    EXPECT_FALSE(window.tree()->isVisible());
    EXPECT_FALSE(window.list()->isVisible());
    EXPECT_FALSE(window.importPanel()->isVisible());

    EXPECT_EQ(entries(*window.menu("mnuFile")),
              "&New Configuration(mnuNewCfg)Ctrl+N &Open Configuration(mnuOpenCfg)Ctrl+O - "
              "&Save Configuration(mnuSaveCfg)Ctrl+S Save Configuration &As(mnuSaveAs) - "
              "&Export Tags to CSV...(mnuExportCsv) &Import Tags from CSV...(mnuImportCsv) - "
              "&Close Configuration(mnuCloseCfg) E&xit(mnuExit) ");
    EXPECT_EQ(entries(*window.menu("mnuObjects")),
              "&Add ModBus Type(mnuAddMBType)Ctrl+T - Add &Unit(mnuAddPlc)Ctrl+P "
              "Add &Branch(mnuAddBranch)Ctrl+B Add &Item(mnuAddItem)Ctrl+I ");
    EXPECT_EQ(entries(*window.menu("mnuEdit")),
              "&Copy(mnuCopy)Ctrl+C Cu&t(mnuCut)Ctrl+X &Paste(mnuPaste)Ctrl+V "
              "&Delete Object(mnuDelete)Del - Paste Item names from Clipboard(mnuPasteName) "
              "Paste Item comments from Clipboard(mnuPasteComment) ");
    EXPECT_EQ(entries(*window.menu("mnuView")),
              "&Icon(mnuIcon) &SmallIcon(mnuSmallIcon) &List(mnuList) &Report(mnuReport) ");
    EXPECT_EQ(entries(*window.menu("mnuTools")), "&Find(mnuFind) ");
    QStringList bar;
    for (QAction* entry : window.menuBar()->actions())
        bar << entry->text();
    EXPECT_EQ(bar, (QStringList{"&File", "&Objects", "&Edit", "&View", "&Tools", "&About"}));

    auto* toolbar = window.findChild<QToolBar*>("Toolbar1");
    ASSERT_NE(toolbar, nullptr);
    QStringList buttons;
    for (QAction* button : toolbar->actions())
        buttons << button->objectName() + ":" + button->toolTip();
    EXPECT_EQ(buttons, (QStringList{"new:new config",
                                    "open:open config",
                                    "save:save config",
                                    "close:close config",
                                    "modbus:add modbus type",
                                    "plc:add Unit",
                                    "branch:add Branch",
                                    "item:add Item",
                                    "copy:copy",
                                    "cut:cut",
                                    "paste:paste",
                                    "delete:delete",
                                    "icon:view icon",
                                    "smallicon:view smallicon",
                                    "list:view list",
                                    "report:view report",
                                    "find:",
                                    "pastitem:Replace Item Name",
                                    "pastcomment:Replace Item Comment",
                                    "exit:exit"}));
    for (QAction* button : toolbar->actions())
        EXPECT_FALSE(button->icon().isNull()) << button->objectName().toStdString();

    // 0.8 of the screen; the tree 0.4 and the list 0.6 of the inner width, as high as it.
    const QRect screen = window.screen()->availableGeometry();
    EXPECT_EQ(window.width(), static_cast<int>(screen.width() * 0.8));
    EXPECT_EQ(window.height(), static_cast<int>(screen.height() * 0.8));
    const QSize inner = window.centralWidget()->size();
    EXPECT_EQ(window.tree()->geometry(),
              QRect(0, 0, static_cast<int>(inner.width() * 0.4), inner.height()));
    EXPECT_EQ(window.list()->x(), static_cast<int>(window.tree()->width() * 1.01));
    EXPECT_EQ(window.list()->y(), 0);
    EXPECT_EQ(window.list()->height(), inner.height());
    for (const char* name : {"TreeView1", "ListView1", "pnlImpStat", "lblLabel", "pnlPercent"})
        EXPECT_NE(window.findChild<QWidget*>(name), nullptr) << name;
}

TEST(QuillmarWindow, NewAsksTheKindProposesTheProgramFolderAndEnablesTheFileCommandsUnitsAndFind) {
    WindowRig rig;
    frmEditing& window = *rig.window;
    bool seen = false;
    answerKindDialog(std::nullopt, &seen);
    window.action("new")->trigger();
    EXPECT_TRUE(seen);
    EXPECT_EQ(rig.enabledCommands(), kNoConfigurationCommands);
    EXPECT_FALSE(window.tree()->isVisible());

    answerKindDialog(std::string(vorn::format::kTarnvaleName));
    window.action("mnuNewCfg")->trigger();
    const std::string path = rig.dir.file("Tarnvale.xml");
    EXPECT_EQ(window.session().currentPath(), path);
    ASSERT_EQ(window.tree()->topLevelItemCount(), 1);
    QTreeWidgetItem* root = window.tree()->topLevelItem(0);
    EXPECT_EQ(root->text(0).toStdString(), path);
    ASSERT_EQ(root->childCount(), 1);
    EXPECT_EQ(root->child(0)->text(0), "ModBus");
    EXPECT_TRUE(root->isExpanded());
    EXPECT_TRUE(window.tree()->isVisible());
    EXPECT_TRUE(window.list()->isVisible());
    EXPECT_EQ(rig.enabledGroups(), (std::vector<int>{1, 2, 6, 12}));
    EXPECT_EQ(rig.enabledCommands(),
              (QStringList{"close", "exit", "find", "mnuAbout", "mnuAddPlc", "mnuCloseCfg",
                           "mnuExit", "mnuExportCsv", "mnuFind", "mnuNewCfg", "mnuOpenCfg",
                           "mnuSaveAs", "mnuSaveCfg", "new", "open", "plc", "save"}));
    EXPECT_TRUE(rig.messages().empty());
}

TEST(QuillmarWindow, OpenFillsTreeAndListAndARejectedFileLeavesNothingToOverwrite) {
    WindowRig rig;
    frmEditing& window = *rig.window;
    const std::string sample = rig.writeSample();
    rig.open(sample);
    ASSERT_EQ(rig.dialogs.shown().size(), 1u);
    EXPECT_EQ(rig.dialogs.shown()[0].title, "Open as existing configuration");
    EXPECT_EQ(rig.dialogs.shown()[0].filter, "configuration files (*.xml)");
    const EditorState& state = window.session().state();
    // root, ModBus folder, 4 types, 2 devices, 4 branches, 23 items
    int items = 0;
    for (QTreeWidgetItemIterator it(window.tree()); *it; ++it)
        ++items;
    EXPECT_EQ(items, 35);
    EXPECT_EQ(state.items.size(), 23u);
    EXPECT_EQ(state.itemCounter, 24);
    EXPECT_EQ(state.deviceCounter, 3);
    EXPECT_EQ(state.branchCounter, 5);
    EXPECT_EQ(state.typeCounter, 5);
    EXPECT_EQ(rig.listRows(), (QStringList{"P1", "P2"}));
    EXPECT_EQ(window.tree()->currentItem(), window.tree()->topLevelItem(0));
    EXPECT_EQ(rig.enabledGroups(), (std::vector<int>{1, 2, 6, 12}));
    EXPECT_FALSE(window.importPanel()->isVisible());
    EXPECT_TRUE(rig.messages().empty());

    // A file the import rejects (a tag without its comment).
    const std::string broken = rig.dir.write(
        "broken.xml", "<VornModBusTcpIpCfg><OPC_DA><PLC name=\"P1\" address=\"10.0.0.1\" "
                      "id=\"1\" timeout=\"1000\"><tags><tag><name>A</name></tag></tags></PLC>"
                      "</OPC_DA></VornModBusTcpIpCfg>");
    const std::string brokenBytes = readFile(broken);
    rig.open(broken);
    ASSERT_EQ(rig.messages().size(), 1u);
    EXPECT_NE(rig.messages()[0].find(" in ImportXML"), std::string::npos);
    EXPECT_EQ(rig.enabledCommands(), kNoConfigurationCommands);
    EXPECT_FALSE(window.tree()->isVisible());
    EXPECT_EQ(window.tree()->topLevelItemCount(), 0);
    EXPECT_EQ(window.list()->rowCount(), 0);
    EXPECT_TRUE(window.session().currentPath().empty());

    // Exit, answering Yes to anything: nothing is written over the rejected file.
    rig.boxes.clear();
    rig.boxes.queueAnswer(MessageAnswer::yes);
    rig.boxes.queueAnswer(MessageAnswer::yes);
    window.action("exit")->trigger();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(rig.messages().empty());
    EXPECT_EQ(readFile(broken), brokenBytes);
    EXPECT_FALSE(fs::exists(rig.registryPath()));
}

TEST(QuillmarWindow, SaveOverAnExistingFileAsksAndNoLeadsToSaveAsCancelStopsNewAndClose) {
    WindowRig rig;
    frmEditing& window = *rig.window;
    answerKindDialog(std::string(vorn::format::kTarnvaleName));
    window.action("new")->trigger();
    const std::string path = rig.dir.write("Tarnvale.xml", "old");

    // New asks to save; Yes, then Cancel at the overwrite question: New stops there.
    bool kindAsked = false;
    answerKindDialog(std::nullopt, &kindAsked, 20);
    rig.boxes.queueAnswer(MessageAnswer::yes);
    rig.boxes.queueAnswer(MessageAnswer::cancel);
    window.action("new")->trigger();
    settle(250);
    EXPECT_FALSE(kindAsked);
    EXPECT_EQ(rig.messages(),
              (std::vector<std::string>{"Do you want to save active configuration?",
                                        "File " + path + " already existing. Overwrite?"}));
    EXPECT_EQ(readFile(path), "old");
    EXPECT_FALSE(window.session().state().configSaved);

    // Close asks its own question; No at the overwrite question leads to Save As, whose
    // dialog cancelled stops the Close.
    rig.boxes.clear();
    rig.boxes.queueAnswer(MessageAnswer::yes);
    rig.boxes.queueAnswer(MessageAnswer::no);
    window.action("close")->trigger();
    EXPECT_EQ(rig.messages(),
              (std::vector<std::string>{"Do you want to save this configuration?",
                                        "File " + path + " already existing. Overwrite?"}));
    ASSERT_EQ(rig.dialogs.shown().size(), 1u);
    EXPECT_EQ(rig.dialogs.shown()[0].title, "Save configuration");
    EXPECT_EQ(rig.dialogs.shown()[0].filter, "configuration files (*.xml)");
    EXPECT_EQ(rig.dialogs.shown()[0].proposedPath, path);
    EXPECT_TRUE(window.tree()->isVisible());
    EXPECT_EQ(readFile(path), "old");

    // Save, Yes: written, the registry holds the path, "saved" is said.
    rig.boxes.clear();
    rig.boxes.queueAnswer(MessageAnswer::yes);
    window.action("save")->trigger();
    EXPECT_EQ(rig.messages(),
              (std::vector<std::string>{"File " + path + " already existing. Overwrite?",
                                        path + " saved"}));
    EXPECT_NE(readFile(path).find("<VornModBusTcpIpCfg>"), std::string::npos);
    EXPECT_EQ(rig.registeredPath(vorn::format::kTarnvaleName), path);
    EXPECT_TRUE(window.session().state().configSaved);

    // Save As to another name: the root shows it, the registry follows, no box.
    rig.boxes.clear();
    rig.dialogs.queue(rig.dir.file("plant.xml"));
    window.action("mnuSaveAs")->trigger();
    EXPECT_TRUE(rig.messages().empty());
    EXPECT_EQ(window.tree()->topLevelItem(0)->text(0).toStdString(), rig.dir.file("plant.xml"));
    EXPECT_EQ(rig.registeredPath(vorn::format::kTarnvaleName), rig.dir.file("plant.xml"));

    // Close of a saved configuration asks nothing and leaves only New, Open, Exit, About.
    rig.boxes.clear();
    window.action("mnuCloseCfg")->trigger();
    EXPECT_TRUE(rig.messages().empty());
    EXPECT_EQ(rig.enabledCommands(), kNoConfigurationCommands);
    EXPECT_FALSE(window.tree()->isVisible());
}

TEST(QuillmarWindow, ASaveIntoAReadOnlyFolderShowsTheStandardErrorAndChangesNothingElse) {
    // As root no folder is read-only; /proc/self takes no new files from anyone.
    WindowRig rig;
    const std::string locked = ::geteuid() == 0 ? "/proc/self" : rig.dir.file("locked");
    if (::geteuid() != 0) {
        fs::create_directory(locked);
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    }
    frmEditing window(rig.dialogs, locked, Registry());
    window.show();
    answerKindDialog(std::string(vorn::format::kRennickName));
    window.action("new")->trigger();
    window.action("save")->trigger();
    ASSERT_EQ(rig.messages().size(), 1u);
    EXPECT_EQ(rig.messages()[0].rfind(" Error n. 75  ", 0), 0u) << rig.messages()[0];
    EXPECT_NE(rig.messages()[0].find(" in CreateXML"), std::string::npos);
    EXPECT_FALSE(window.session().state().configSaved);
    EXPECT_FALSE(fs::exists(rig.registryPath()));

    // Exit asked to save: the failed save keeps the window open; No then closes it.
    rig.boxes.clear();
    rig.boxes.queueAnswer(MessageAnswer::yes);
    window.close();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(rig.messages().size(), 2u);
    rig.boxes.queueAnswer(MessageAnswer::no);
    window.close();
    EXPECT_FALSE(window.isVisible());
    if (::geteuid() != 0)
        fs::permissions(locked, fs::perms::owner_all);
}

TEST(QuillmarWindow, ExitWithUnsavedChangesNoClosesWithoutSavingAndClosesTheFindDialog) {
    WindowRig rig;
    frmEditing& window = *rig.window;
    answerKindDialog(std::string(vorn::format::kTarnvaleName));
    window.action("new")->trigger();
    window.action("find")->trigger();
    ASSERT_NE(window.findDialog(), nullptr);
    EXPECT_TRUE(window.findDialog()->isVisible());
    rig.boxes.queueAnswer(MessageAnswer::no);
    window.action("mnuExit")->trigger();
    EXPECT_EQ(rig.messages(),
              std::vector<std::string>{"Do you want to save active configuration?"});
    EXPECT_FALSE(window.isVisible());
    settle(50);
    EXPECT_EQ(window.findDialog(), nullptr);
    EXPECT_FALSE(fs::exists(rig.dir.file("Tarnvale.xml")));
}

TEST(QuillmarWindow, KeysTitleAndCancelAtTheSaveQuestionKeepTheWork) {
    WindowRig rig;
    frmEditing& window = *rig.window;
    EXPECT_EQ(window.action("mnuNewCfg")->shortcut(), QKeySequence("Ctrl+N"));
    EXPECT_EQ(window.action("mnuOpenCfg")->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(window.action("mnuSaveCfg")->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(window.action("mnuDelete")->shortcut(), QKeySequence(Qt::Key_Delete));

    answerKindDialog(std::string(vorn::format::kTarnvaleName));
    window.action("new")->trigger();
    EXPECT_TRUE(window.windowTitle().endsWith(" - Tarnvale.xml[*]"))
        << window.windowTitle().toStdString();
    EXPECT_TRUE(window.isWindowModified());

    // Closing the window asks with Cancel; Cancel (Escape) keeps it and the configuration.
    rig.boxes.queueAnswer(MessageAnswer::cancel);
    window.close();
    ASSERT_EQ(rig.boxes.shown().size(), 1u);
    EXPECT_EQ(rig.boxes.shown()[0].buttons, MessageButtons::yesNoCancel);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.session().state().configOpen);

    rig.boxes.clear();
    rig.dialogs.queue(rig.dir.file("plant.xml"));
    window.action("mnuSaveAs")->trigger();
    EXPECT_FALSE(window.isWindowModified());
    EXPECT_TRUE(window.windowTitle().endsWith(" - plant.xml[*]"))
        << window.windowTitle().toStdString();
}
