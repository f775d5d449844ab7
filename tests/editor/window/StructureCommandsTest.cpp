// Adding, editing and deleting units, Modbus types and branches through their dialogs.
#include "DialogDriving.h"
#include "TestConfigs.h"
#include "WindowRig.h"
#include "editor/ConfigImport.h"
#include "editor/window/frmBranch.h"
#include "editor/window/frmModBus.h"
#include "editor/window/frmPLC.h"
#include "fileformat/ConfigFormat.h"
#include "fileformat/SerialPorts.h"
#include "platform/Registry.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::editor;
using namespace vorn::editor::test;

namespace {

void newConfiguration(WindowRig& rig, const char* kind) {
    answerKindDialog(std::string(kind));
    rig.window->action("new")->trigger();
}

// Opens the unit dialog with Add Unit, lets `fill` change it, presses Ok; when the dialog is
// still open afterwards it is closed with Quit. True when it accepted.
bool addUnit(WindowRig& rig, std::function<void(frmPLC&)> fill) {
    bool accepted = false;
    whenModal<frmPLC>([&](frmPLC& dialog) {
        fill(dialog);
        press(dialog, "cmdOk");
        accepted = !dialog.isVisible();
        if (!accepted)
            press(dialog, "cmdCancel");
    });
    rig.clickNode("");
    rig.window->action("plc")->trigger();
    return accepted;
}

// Every object of the collections has the node of its key and kind, and every node of the tree
// (but the root and the Modbus types folder) has its object.
void expectObjectsAndNodesInStep(const EditorState& state) {
    auto hasObject = [&](const TreeNode& node) {
        if (node.tag == kTagPlc)
            return state.devices.contains(node.key);
        if (node.tag == kTagBranch)
            return state.branches.contains(node.key);
        if (node.tag == kTagItem)
            return state.items.contains(node.key);
        if (node.tag == kTagDatatype)
            return state.modbusTypes.contains(node.key);
        return node.tag == kTagModbus;
    };
    size_t reachable = 1; // the root
    std::vector<const TreeNode*> pending{state.tree.root()};
    while (!pending.empty()) {
        const TreeNode* node = pending.back();
        pending.pop_back();
        for (const TreeNode* below : node->children) {
            EXPECT_TRUE(hasObject(*below)) << below->key << " (" << below->tag << ")";
            ++reachable;
            pending.push_back(below);
        }
    }
    EXPECT_EQ(reachable, state.tree.size()) << "nodes outside the tree";
    auto expectNodes = [&](const auto& collection, const char* tag) {
        for (const auto& [key, object] : collection) {
            const TreeNode* node = state.tree.find(key);
            EXPECT_TRUE(node && node->tag == tag) << key << " has no " << tag << " node";
        }
    };
    expectNodes(state.devices, kTagPlc);
    expectNodes(state.branches, kTagBranch);
    expectNodes(state.items, kTagItem);
    expectNodes(state.modbusTypes, kTagDatatype);
}

} // namespace

TEST(QuillmarUnits, TheUnitDialogProposesChecksAndAddsForBothKinds) {
    WindowRig rig;
    newConfiguration(rig, vorn::format::kTarnvaleName);
    QString proposed;
    bool tcpFieldsOnly = false;
    EXPECT_TRUE(addUnit(rig, [&](frmPLC& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Unit Properties");
        proposed = child<QLineEdit>(dialog, "txtName")->text();
        tcpFieldsOnly = child<QLineEdit>(dialog, "txtAddress")->isEnabled() &&
                        child<QLineEdit>(dialog, "txtTcpPort")->isEnabled() &&
                        !child<QLineEdit>(dialog, "txtPort")->isEnabled() &&
                        !child<QComboBox>(dialog, "cmbBaud")->isEnabled() &&
                        !child<QLineEdit>(dialog, "txtSilent")->isEnabled();
        type(dialog, "txtUI", "254");
    }));
    EXPECT_EQ(proposed, "New Plc 0");
    EXPECT_TRUE(tcpFieldsOnly);
    EXPECT_EQ(rig.window->session().state().devices.item("New Plc 0").getUI(), 254);
    EXPECT_EQ(rig.window->tree()->currentItem()->text(0), "New Plc 0");
    EXPECT_EQ(rig.listRows(), QStringList{"New Plc 0"});
    EXPECT_FALSE(rig.window->session().state().configSaved);

    // The first branch of a new configuration is proposed as NewBranch0.
    QString branchProposed;
    whenModal<frmBranch>([&](frmBranch& dialog) {
        branchProposed = dialog.nameText()->text();
        press(dialog, "cmdOk");
    });
    rig.window->action("branch")->trigger();
    EXPECT_EQ(branchProposed, "NewBranch0");
    EXPECT_TRUE(rig.window->session().state().branches.contains("New Plc 0.NewBranch0"));

    // 255 is refused with its message and the dialog stays open.
    EXPECT_FALSE(addUnit(rig, [](frmPLC& dialog) { type(dialog, "txtUI", "255"); }));
    EXPECT_EQ(rig.messages().back(), "UI identifier must be between 0 and 254.");
    // Two units at different addresses may both use 1.
    EXPECT_TRUE(addUnit(rig, [](frmPLC& dialog) {
        type(dialog, "txtName", "A");
        type(dialog, "txtAddress", "10.0.0.1");
    }));
    EXPECT_TRUE(addUnit(rig, [](frmPLC& dialog) {
        type(dialog, "txtName", "B");
        type(dialog, "txtAddress", "10.0.0.2");
    }));
    EXPECT_FALSE(addUnit(rig, [](frmPLC& dialog) {
        type(dialog, "txtName", "C");
        type(dialog, "txtAddress", "10.0.0.2");
    }));
    EXPECT_EQ(rig.messages().back(), "UI already existing. Please use a different one");
    for (const char* name : {"P.1", "", "ModBus"}) {
        EXPECT_FALSE(addUnit(rig, [name](frmPLC& dialog) { type(dialog, "txtName", name); }));
        expectObjectsAndNodesInStep(rig.window->session().state());
    }
    EXPECT_EQ(rig.window->session().state().devices.size(), 3u);
}

TEST(QuillmarUnits, SerialUnitsShareTheirLineSettings) {
    WindowRig rig;
    newConfiguration(rig, vorn::format::kRennickName);
    bool serialFieldsOnly = false;
    EXPECT_TRUE(addUnit(rig, [&](frmPLC& dialog) {
        serialFieldsOnly = !child<QLineEdit>(dialog, "txtAddress")->isEnabled() &&
                           child<QLineEdit>(dialog, "txtPort")->isEnabled() &&
                           child<QComboBox>(dialog, "cmbData")->isEditable();
        type(dialog, "txtName", "R1");
    }));
    EXPECT_TRUE(serialFieldsOnly);
    EXPECT_FALSE(addUnit(rig, [](frmPLC& dialog) {
        type(dialog, "txtName", "R2");
        type(dialog, "txtUI", "2");
        child<QComboBox>(dialog, "cmbBaud")->setCurrentText("19200");
    }));
    EXPECT_EQ(rig.messages().back(), "Plc R1 has the same port but different Baud Rate");
    EXPECT_TRUE(addUnit(rig, [](frmPLC& dialog) {
        type(dialog, "txtName", "R2");
        type(dialog, "txtUI", "2");
        type(dialog, "txtPort", "COM2");
        child<QComboBox>(dialog, "cmbBaud")->setCurrentText("19200");
    }));
    EXPECT_EQ(rig.window->session().state().devices.item("R2").getBaud(), 19200);
}

// A port keeps its COMn name in the file; the device it stands for is picked in the dialog and
// goes to the registry with the save, where the server reads it.
TEST(QuillmarUnits, ADevicePathPickedForAPortIsSavedAsItsMappingAndTheFileKeepsCOMn) {
    WindowRig rig;
    newConfiguration(rig, vorn::format::kRennickName);
    QString proposed;
    EXPECT_FALSE(addUnit(rig, [&](frmPLC& dialog) {
        proposed = child<QComboBox>(dialog, "cmbDevice")->currentText();
        type(dialog, "txtPort", "/dev/ttyUSB0");
    }));
    EXPECT_EQ(proposed, "/dev/ttyS0") << "COM1 without a mapping";
    EXPECT_EQ(rig.messages().back(), "Invalid Port name. It must begin with \"COM\"; a device "
                                     "such as /dev/ttyUSB0 is chosen under \"Device path\"");
    EXPECT_FALSE(addUnit(rig, [](frmPLC& dialog) {
        child<QComboBox>(dialog, "cmbDevice")->setEditText("ttyUSB0");
    }));
    EXPECT_EQ(rig.messages().back(),
              "Invalid device path. It must be a full path such as /dev/ttyUSB0.");
    EXPECT_TRUE(addUnit(rig, [](frmPLC& dialog) {
        type(dialog, "txtName", "R1");
        type(dialog, "txtPort", "COM3");
        child<QComboBox>(dialog, "cmbDevice")->setEditText("/dev/ttyUSB0");
    }));
    QString shownAgain;
    whenModal<frmPLC>([&](frmPLC& dialog) {
        shownAgain = child<QComboBox>(dialog, "cmbDevice")->currentText();
        press(dialog, "cmdCancel");
    });
    rig.doubleClickNode("R1");
    EXPECT_EQ(shownAgain, "/dev/ttyUSB0") << "chosen, not saved yet";
    EXPECT_FALSE(Registry(rig.registryPath()).readString(format::kRennickPortsRegistryKey, "COM3"));

    rig.boxes.queueAnswer(MessageAnswer::ok);
    rig.window->action("save")->trigger();
    EXPECT_EQ(Registry(rig.registryPath()).readString(format::kRennickPortsRegistryKey, "COM3"),
              "/dev/ttyUSB0");
    const std::string saved = readFile(rig.dir.file("Rennick.xml"));
    EXPECT_NE(saved.find("<com>COM3</com>"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("ttyUSB0"), std::string::npos) << "the file names the port only";
}

TEST(QuillmarUnits, RenamingAUnitReKeysItsContentAndKeepsItsPlaceInTheFile) {
    WindowRig rig;
    rig.open(rig.writeSample());
    whenModal<frmPLC>([](frmPLC& dialog) {
        type(dialog, "txtName", "Press");
        press(dialog, "cmdOk");
    });
    rig.doubleClickNode("P1");
    settle(50);
    const EditorState& state = rig.window->session().state();
    ASSERT_TRUE(state.devices.contains("Press"));
    EXPECT_TRUE(state.items.contains("Press.Pumps.Valves.Open"));
    EXPECT_EQ(state.devices.begin()->first, "Press");

    rig.dialogs.queue(rig.dir.file("renamed.xml"));
    rig.window->action("mnuSaveAs")->trigger();
    EditorState reopened;
    reopened.startConfiguration(rig.dir.file("renamed.xml"));
    ASSERT_TRUE(ImportXML(reopened, rig.dir.file("renamed.xml")));
    EXPECT_EQ(reopened.devices.begin()->first, "Press");
    EXPECT_EQ(reopened.items.size(), state.items.size());
    EXPECT_TRUE(reopened.items.contains("Press.Pumps.T15"));

    // The command-line checker reads the saved file as the editor does.
    QProcess check;
    check.start(QUILLMAR_CHECK, {"--check", QString::fromStdString(rig.dir.file("renamed.xml"))});
    ASSERT_TRUE(check.waitForFinished(10000));
    EXPECT_EQ(check.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardError().toStdString();
    const QStringList lines = QString::fromUtf8(check.readAllStandardOutput()).split('\n');
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(),
              QString("server %1: %2 modbus types, %3 devices, %4 branches, %5 items")
                  .arg(QString::fromStdString(state.serverKind))
                  .arg(state.modbusTypes.size())
                  .arg(state.devices.size())
                  .arg(state.branches.size())
                  .arg(state.items.size()));
    const QStringList devices = lines.filter(QRegularExpression("^device "));
    ASSERT_FALSE(devices.isEmpty());
    EXPECT_EQ(devices.first(),
              QString("device Press id %1").arg(state.devices.item("Press").getUI()));
    EXPECT_EQ(lines.filter(QRegularExpression("^item Press\\.")).size(),
              static_cast<qsizetype>(
                  std::count_if(state.items.begin(), state.items.end(), [](const auto& entry) {
                      return entry.first.rfind("Press.", 0) == 0;
                  })));
    EXPECT_FALSE(lines.filter(QRegularExpression("^item Press\\.Pumps\\.T15 ")).isEmpty());
    EXPECT_TRUE(lines.filter(QRegularExpression("^item P1\\.")).isEmpty());
}

TEST(QuillmarUnits, LineSettingsOutsideTheListsAreShownAndKeptAsTheFileHoldsThem) {
    WindowRig rig;
    const std::string path = rig.dir.file("Rennick.xml");
    {
        std::ofstream file(path, std::ios::binary);
        file << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<VornModBusRTUCfg>\r\n"
                "<MODBUS>\r\n</MODBUS>\r\n<OPC_DA>\r\n<PLC><name>R1</name><id>3</id><com>COM1</com>"
                "<baudrate>4800</baudrate><parity>MARK</parity><stopbits>1</stopbits>"
                "<databits>8</databits><flowcontrol>XONXOFF</flowcontrol><timeout>500</timeout>"
                "<silent>5</silent><tags></tags></PLC>\r\n</OPC_DA>\r\n</VornModBusRTUCfg>\r\n";
    }
    rig.open(path);
    std::string shown;
    whenModal<frmPLC>([&](frmPLC& dialog) {
        for (const char* box : {"cmbBaud", "cmbParity", "cmbFlow"})
            shown += dialog.findChild<QComboBox*>(box)->currentText().toStdString() + " ";
        press(dialog, "cmdOk");
    });
    rig.doubleClickNode("R1");
    settle(50);
    EXPECT_EQ(shown, "4800 MARK XONXOFF ");
    const clsPLC& unit = rig.window->session().state().devices.item("R1");
    EXPECT_EQ(unit.getBaud(), 4800);
    EXPECT_EQ(unit.getParity(), "MARK");
    EXPECT_EQ(unit.getFlowCtl(), "XONXOFF");
}

// Each entry a file could not carry or the servers would skip is refused with a message and
// leaves the objects and their nodes as they were.
TEST(QuillmarRefusals, RefusedEntriesLeaveEveryObjectWithItsNode) {
    WindowRig rig;
    rig.open(rig.writeSample());
    const EditorState& state = rig.window->session().state();
    const size_t devices = state.devices.size();
    const size_t branches = state.branches.size();
    const size_t nodes = state.tree.size();
    auto expectRefused = [&](const std::string& what, size_t messagesBefore) {
        EXPECT_EQ(rig.messages().size(), messagesBefore + 1) << what;
        EXPECT_EQ(state.devices.size(), devices) << what;
        EXPECT_EQ(state.branches.size(), branches) << what;
        EXPECT_EQ(state.tree.size(), nodes) << what;
        expectObjectsAndNodesInStep(state);
    };

    struct UnitCase {
        const char* field;
        const char* text;
        const char* message; // empty where the name rules word it
    };
    const UnitCase units[] = {
        {"txtName", "P.1", ""},
        {"txtName", "", "Name field is empty."},
        {"txtName", "ModBus", "Name already existing. Please use a different name"},
        {"txtName", "coil", "Name already existing. Please use a different name"},
        {"txtTcpPort", "0", "TCP port must be between 1 and 65535."},
        {"txtTimeout", "-1", "Timeout must be between 0 and 4294967295."},
        {"txtAddress", "10.0.0garbage", "Address is not a valid IPv4 address."},
        {"txtAddress", "10.0.0", "Address is not a valid IPv4 address."},
    };
    for (const UnitCase& unit : units) {
        const size_t before = rig.messages().size();
        EXPECT_FALSE(addUnit(rig, [&](frmPLC& dialog) {
            if (std::string(unit.field) != "txtName")
                type(dialog, "txtName", "Fresh");
            type(dialog, unit.field, unit.text);
        })) << unit.text;
        expectRefused(std::string(unit.field) + " " + unit.text, before);
        if (*unit.message) {
            EXPECT_EQ(rig.messages().back(), unit.message) << unit.text;
        }
    }

    // "Level" is an item of P1, so a branch of that name would share its key.
    for (const char* name : {"1st", "tag", "TAG", "Level"}) {
        const size_t before = rig.messages().size();
        bool refused = false;
        whenModal<frmBranch>([&](frmBranch& dialog) {
            type(dialog, "txtBranchName", name);
            press(dialog, "cmdOk");
            refused = dialog.isVisible();
            if (refused)
                press(dialog, "cmdCancel");
        });
        rig.clickNode("P1");
        rig.window->action("branch")->trigger();
        EXPECT_TRUE(refused) << name;
        expectRefused(std::string("branch ") + name, before);
    }
}

TEST(QuillmarTypes, TheTypeDialogProposesStandardCodesAndLocksTheKindWhenEditing) {
    WindowRig rig;
    // A file without Modbus types: a new configuration starts with the four standard ones.
    rig.open(rig.dir.write("untyped.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
                                          "<VornModBusTcpIpCfg><MODBUS>\r\n</MODBUS><OPC_DA>\r\n"
                                          "</OPC_DA></VornModBusTcpIpCfg>\r\n"));
    rig.clickNode("ModBus");
    auto addType = [&](std::function<void(frmModBus&)> fill) {
        bool accepted = false;
        whenModal<frmModBus>([&](frmModBus& dialog) {
            fill(dialog);
            press(dialog, "cmdOk");
            accepted = !dialog.isVisible();
            if (!accepted)
                press(dialog, "cmdCancel");
        });
        rig.window->action("modbus")->trigger();
        return accepted;
    };
    auto pick = [](frmModBus& dialog, const char* kind) {
        QComboBox* kinds = child<QComboBox>(dialog, "cmbMBType");
        kinds->setCurrentText(kind);
        emit kinds->textActivated(kind);
    };
    EXPECT_FALSE(addType([](frmModBus&) {}));
    EXPECT_EQ(rig.messages().back(), "Check Read Function code");

    bool writeDisabled = false;
    EXPECT_TRUE(addType([&](frmModBus& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "ModBus Data Type Properties");
        pick(dialog, "input register");
        EXPECT_EQ(child<QLineEdit>(dialog, "txtReadCode")->text(), "4");
        writeDisabled = !child<QLineEdit>(dialog, "txtWriteCode")->isEnabled() &&
                        !child<QCheckBox>(dialog, "chkSingle")->isEnabled() &&
                        child<QLineEdit>(dialog, "txtWriteCode")->text().isEmpty();
    }));
    EXPECT_TRUE(writeDisabled);
    const EditorState& state = rig.window->session().state();
    EXPECT_EQ(state.modbusTypes.item("input register").getWriteCode(), 0);
    EXPECT_EQ(state.modbusTypes.item("input register").getSingleWrCode(), 0);
    EXPECT_EQ(rig.window->tree()->currentItem()->text(0), "input register");
    EXPECT_EQ(rig.listRows(), QStringList{"input register"}); // the folder's contents

    EXPECT_TRUE(addType([&](frmModBus& dialog) {
        pick(dialog, "holding register");
        child<QCheckBox>(dialog, "chkSingle")->click();
    }));
    EXPECT_EQ(state.modbusTypes.item("holding register").getWriteCode(), 16);
    EXPECT_EQ(state.modbusTypes.item("holding register").getSingleWrCode(), 0);
    EXPECT_TRUE(addType([&](frmModBus& dialog) { pick(dialog, "coil"); }));
    EXPECT_FALSE(addType([&](frmModBus& dialog) { pick(dialog, "coil"); }));
    EXPECT_EQ(rig.messages().back(), "ModBus type already existing");

    // Editing holding register: the box comes back unticked and the kind cannot change.
    bool unticked = false, kindLocked = false;
    whenModal<frmModBus>([&](frmModBus& dialog) {
        unticked = !child<QCheckBox>(dialog, "chkSingle")->isChecked() &&
                   child<QLineEdit>(dialog, "txtSingleCode")->text().isEmpty();
        kindLocked = !child<QComboBox>(dialog, "cmbMBType")->isEnabled();
        type(dialog, "txtReadCode", "4");
        press(dialog, "cmdOk");
    });
    rig.doubleClickNode("holding register");
    settle(50);
    EXPECT_TRUE(unticked);
    EXPECT_TRUE(kindLocked);
    EXPECT_EQ(state.modbusTypes.item("holding register").getReadCode(), 4);
    EXPECT_EQ(state.modbusTypes.size(), 3u);
}

TEST(QuillmarBranches, NewBranchesAreProposedNumberedAndRenamesReKeyTheirItems) {
    WindowRig rig;
    rig.open(rig.writeSample());
    QString proposed;
    whenModal<frmBranch>([&](frmBranch& dialog) {
        proposed = dialog.nameText()->text();
        type(dialog, "txtBranchName", "1st");
        press(dialog, "cmdOk");
        type(dialog, "txtBranchName", "Level"); // an item beside it
        press(dialog, "cmdOk");
        type(dialog, "txtBranchName", "Tanks");
        press(dialog, "cmdOk");
    });
    rig.clickNode("P1");
    rig.window->action("branch")->trigger();
    EXPECT_EQ(proposed, "NewBranch5"); // four branches in the file, plus 1
    ASSERT_EQ(rig.messages().size(), 2u);
    EXPECT_EQ(rig.messages()[1], "Name already existing. Please use a different name");
    expectObjectsAndNodesInStep(rig.window->session().state());
    EXPECT_TRUE(rig.window->session().state().branches.contains("P1.Tanks"));
    EXPECT_EQ(rig.window->tree()->currentItem()->text(0), "Tanks");

    whenModal<frmBranch>([&](frmBranch& dialog) {
        type(dialog, "txtBranchName", "Valve_Bank");
        press(dialog, "cmdOk");
    });
    rig.doubleClickNode("P1.Pumps.Valves");
    settle(50);
    const EditorState& state = rig.window->session().state();
    EXPECT_TRUE(state.items.contains("P1.Pumps.Valve_Bank.Open"));
    EXPECT_FALSE(state.items.contains("P1.Pumps.Valves.Open"));
    EXPECT_TRUE(state.tree.contains("P1.Pumps.Valve_Bank.States"));
}

TEST(QuillmarDelete, AUnitThatIsNotEmptyStaysAndABranchGoesWithEverythingBelow) {
    WindowRig rig;
    rig.open(rig.writeSample());
    rig.clickNode("P1");
    rig.boxes.queueAnswer(MessageAnswer::yes);
    rig.window->action("delete")->trigger();
    EXPECT_EQ(rig.messages(), (std::vector<std::string>{"Are you sure you want to delete P1?",
                                                        "This unit is not empty"}));
    EXPECT_TRUE(rig.window->session().state().devices.contains("P1"));

    rig.boxes.clear();
    rig.clickNode("P1.Pumps");
    rig.boxes.queueAnswer(MessageAnswer::yes);
    rig.window->action("mnuDelete")->trigger();
    EXPECT_EQ(rig.messages(),
              std::vector<std::string>{"Are you sure you want to delete Pumps and all its items?"});
    const EditorState& state = rig.window->session().state();
    EXPECT_FALSE(state.tree.contains("P1.Pumps"));
    EXPECT_FALSE(state.items.contains("P1.Pumps.T1"));
    EXPECT_FALSE(state.branches.contains("P1.Pumps.Valves"));
    EXPECT_EQ(rig.window->itemOf(&rig.node("P1"))->childCount(), 1); // Level
    EXPECT_EQ(rig.window->tree()->currentItem()->text(0), "P1");
    EXPECT_EQ(rig.listRows(), QStringList{"P1"});

    // Items selected in a branch's list go together after one question.
    rig.boxes.clear();
    rig.clickNode("P2.Drives");
    QTreeWidget* report = rig.window->list()->reportView();
    report->setFocus();
    report->selectAll();
    rig.boxes.queueAnswer(MessageAnswer::yes);
    rig.window->action("delete")->trigger();
    EXPECT_EQ(rig.messages(),
              std::vector<std::string>{"Are you sure you want to delete the selected items ?"});
    EXPECT_FALSE(state.items.contains("P2.Drives.MY_MOTOR"));
    EXPECT_TRUE(state.items.contains("P2.Drives.Hall.MOTOR_1"));
    EXPECT_EQ(rig.window->list()->rowCount(), 0);
}
