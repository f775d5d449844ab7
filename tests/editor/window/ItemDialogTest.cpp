// The item dialog driven like a user: adding one item, one after the other and as a group,
// modifying, and what the text boxes let through.
#include "DialogDriving.h"
#include "WindowRig.h"
#include "editor/window/frmItems.h"
#include "fileformat/ConfigFormat.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <fstream>
#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::editor;
using namespace vorn::editor::test;

namespace {

QString textOf(QWidget& dialog, const char* name) {
    if (auto* line = dialog.findChild<QLineEdit*>(name))
        return line->text();
    return child<QComboBox>(dialog, name)->currentText();
}

// Opens the item dialog with Add Item on the node `parentKey`, runs `act` on it, then leaves it
// with Exit when it is still open.
void withAddDialog(WindowRig& rig, const std::string& parentKey,
                   std::function<void(frmItems&)> act) {
    bool seen = false;
    whenModal<frmItems>(
        [&](frmItems& dialog) {
            act(dialog);
            if (dialog.isVisible())
                press(dialog, "cmdCancel");
        },
        &seen);
    rig.clickNode(parentKey);
    rig.window->action("item")->trigger();
    EXPECT_TRUE(seen) << "the item dialog did not come up";
}

void fill(frmItems& dialog, const QString& name, const QString& modbusType, const QString& dataType,
          const QString& address, const QString& access) {
    type(dialog, "txtItemName", name);
    pick(dialog, "cmbModbusType", modbusType);
    pick(dialog, "cmbDataType", dataType);
    type(dialog, "txtAddress", address);
    pick(dialog, "cmbAccessRight", access);
}

const EditorState& stateOf(WindowRig& rig) {
    return rig.window->session().state();
}

} // namespace

TEST(QuillmarItems, ANewConfigurationOffersTheStandardTypesAndWithoutTypesAddItemSaysWhatFirst) {
    WindowRig rig;
    answerKindDialog(std::string(vorn::format::kTarnvaleName));
    rig.window->action("new")->trigger();
    rig.window->session().addDevice(std::make_shared<clsPLC>([] {
        clsPLC unit;
        unit.setName("U");
        unit.keyFromName();
        return unit;
    }()));
    QString proposed;
    QString caption;
    QStringList modbusTypes;
    withAddDialog(rig, "U", [&](frmItems& dialog) {
        caption = dialog.windowTitle();
        proposed = textOf(dialog, "txtItemName");
        auto* types = child<QComboBox>(dialog, "cmbModbusType");
        for (int at = 0; at < types->count(); ++at)
            modbusTypes << types->itemText(at);
        EXPECT_EQ(child<QPushButton>(dialog, "cmdOk")->text(), "Add and Exit");
        EXPECT_FALSE(child<QComboBox>(dialog, "cmbBit")->isEnabled());
        EXPECT_FALSE(child<QLineEdit>(dialog, "txtElements")->isEnabled());
    });
    EXPECT_EQ(caption, "Item Properties");
    EXPECT_EQ(proposed, "New_Item_0");
    modbusTypes.sort();
    EXPECT_EQ(modbusTypes,
              (QStringList{"coil", "holding register", "input register", "input status"}));

    // A file without Modbus types: Add Item says what to add first instead of an empty dialog.
    const std::string path = rig.dir.file("untyped.xml");
    {
        std::ofstream file(path, std::ios::binary);
        file << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<VornModBusTcpIpCfg>\r\n"
                "<MODBUS>\r\n</MODBUS>\r\n<OPC_DA>\r\n<PLC name=\"U\" address=\"10.0.0.1\">"
                "<tags></tags></PLC>\r\n</OPC_DA>\r\n</VornModBusTcpIpCfg>\r\n";
    }
    rig.boxes.queueAnswer(MessageAnswer::no); // the new configuration is not saved
    rig.open(path);
    rig.clickNode("U");
    rig.window->action("item")->trigger();
    EXPECT_EQ(rig.messages().back(), kNoModbusTypeMessage);
    EXPECT_TRUE(stateOf(rig).items.empty());
}

TEST(QuillmarItems, AddAndExitTakesTheLastAddressAndRefusesTheNextOne) {
    WindowRig rig;
    rig.open(rig.writeSample());
    bool closed = false;
    withAddDialog(rig, "P2", [&](frmItems& dialog) {
        fill(dialog, "Top", "holding register", "unsigned 16 bit", "65536", "READ");
        press(dialog, "cmdOk");
        EXPECT_TRUE(dialog.isVisible());
        type(dialog, "txtAddress", "65535");
        press(dialog, "cmdOk");
        closed = !dialog.isVisible();
    });
    EXPECT_TRUE(closed);
    EXPECT_EQ(rig.messages(), std::vector<std::string>{"Memory address field is not valid. It "
                                                       "must be between 0 and 65535."});
    EXPECT_EQ(stateOf(rig).items.item("P2.Top").nAddress, 65535);
    EXPECT_EQ(stateOf(rig).items.item("P2.Top").sDataType, "holding register:unsigned 16 bit");
    // The list shows the unit's node again, and the tree holds the item.
    EXPECT_EQ(rig.window->tree()->currentItem()->text(0), "P2");
    ASSERT_NE(rig.window->itemOf(stateOf(rig).tree.find("P2.Top")), nullptr);
    EXPECT_FALSE(stateOf(rig).configSaved);
}

TEST(QuillmarItems, AddAndIncrementPreparesTheNextAddress) {
    WindowRig rig;
    rig.open(rig.writeSample());
    struct Case {
        const char* dataType;
        const char* address;
        const char* bit;
        const char* elements;
        const char* nextAddress;
        const char* nextBit;
    };
    const Case cases[] = {
        {"boolean", "10", "15", nullptr, "11", "0"},  {"boolean array", "10", "4", "20", "11", "8"},
        {"string", "100", nullptr, "10", "106", "0"}, {"string", "100", nullptr, "3", "103", "0"},
        {"string", "100", nullptr, "1", "101", "0"},
    };
    int counter = stateOf(rig).itemCounter;
    withAddDialog(rig, "P1.Pumps", [&](frmItems& dialog) {
        int n = 0;
        for (const Case& c : cases) {
            fill(dialog, QString("Step%1").arg(n++), "holding register", c.dataType, c.address,
                 "READWRITE");
            if (c.bit) {
                EXPECT_TRUE(child<QComboBox>(dialog, "cmbBit")->isEnabled());
                pick(dialog, "cmbBit", c.bit);
            }
            if (c.elements)
                type(dialog, "txtElements", c.elements);
            press(dialog, "cmdAdd");
            EXPECT_EQ(textOf(dialog, "txtAddress"), c.nextAddress) << c.dataType;
            EXPECT_EQ(textOf(dialog, "cmbBit"), c.nextBit) << c.dataType;
            EXPECT_EQ(textOf(dialog, "txtItemName"), QString("New_Item_%1").arg(++counter));
            EXPECT_EQ(textOf(dialog, "cmbDataType"), c.dataType) << "the data type stays";
            EXPECT_TRUE(dialog.isVisible());
        }
    });
    EXPECT_TRUE(rig.messages().empty()) << rig.messages().front();
    const clsItem& array = stateOf(rig).items.item("P1.Pumps.Step1");
    EXPECT_EQ(array.nBitNumber, 4);
    EXPECT_EQ(array.nElements, 20);
    // Closing refreshed the list of the branch with the five new items.
    EXPECT_TRUE(rig.listRows().contains("Step4"));
}

TEST(QuillmarItems, AGroupAddsFromTheTypedItemAndStopsAtATakenName) {
    WindowRig rig;
    rig.open(rig.writeSample());
    bool panelDisablesMain = false;
    withAddDialog(rig, "P2", [&](frmItems& dialog) {
        fill(dialog, "Lead", "holding register", "signed 32 bit", "0", "READWRITE");
        press(dialog, "cmdGroup");
        panelDisablesMain = child<QFrame>(dialog, "fraGroup")->isVisible() &&
                            !child<QFrame>(dialog, "fraMain")->isEnabled();
        EXPECT_EQ(textOf(dialog, "txtNumbItems"), "1");
        type(dialog, "txtNumbItems", "5");
        press(dialog, "cmdOkNumber");
        EXPECT_FALSE(child<QFrame>(dialog, "fraGroup")->isVisible());
        EXPECT_TRUE(child<QFrame>(dialog, "fraMain")->isEnabled());
        EXPECT_EQ(textOf(dialog, "txtAddress"), "10");
    });
    EXPECT_TRUE(panelDisablesMain);
    std::vector<int32_t> addresses;
    for (const TreeNode* node : rig.node("P2").children) {
        if (node->tag == kTagItem && node->key != "P2.Counter" && node->key != "P2.motor_3")
            addresses.push_back(stateOf(rig).items.item(node->key).nAddress);
    }
    EXPECT_EQ(addresses, (std::vector<int32_t>{0, 2, 4, 6, 8}));

    // The third name of the next group is taken: two items, then the name message.
    const int counter = stateOf(rig).itemCounter;
    withAddDialog(rig, "P1", [&](frmItems& dialog) {
        fill(dialog, "First_2", "holding register", "signed 32 bit", "0", "READWRITE");
        // The group's third item will be named so: the group is named after its first item.
        press(dialog, "cmdAdd");
        fill(dialog, "First", "holding register", "signed 32 bit", "100", "READWRITE");
        press(dialog, "cmdGroup");
        type(dialog, "txtNumbItems", "x");
        EXPECT_EQ(textOf(dialog, "txtNumbItems"), "") << "the filter keeps letters out";
        press(dialog, "cmdOkNumber");
        EXPECT_TRUE(child<QFrame>(dialog, "fraGroup")->isVisible()) << "no number, no group";
        type(dialog, "txtNumbItems", "5");
        press(dialog, "cmdOkNumber");
    });
    EXPECT_EQ(rig.messages(),
              (std::vector<std::string>{"Number of items is not valid.",
                                        "Name already existing. Please use a different name"}));
    EXPECT_TRUE(stateOf(rig).items.contains("P1.First"));
    EXPECT_TRUE(stateOf(rig).items.contains("P1.First_1"));
    EXPECT_EQ(stateOf(rig).itemCounter, counter + 3) << "the taken name added nothing";
}

TEST(QuillmarItems, AnInputRegisterIsReadOnlyAndItsBooleansHaveABitNumber) {
    WindowRig rig;
    rig.open(rig.writeSample());
    withAddDialog(rig, "P1", [&](frmItems& dialog) {
        pick(dialog, "cmbModbusType", "input register");
        QComboBox* access = child<QComboBox>(dialog, "cmbAccessRight");
        ASSERT_EQ(access->count(), 1);
        EXPECT_EQ(access->itemText(0), "READ");
        pick(dialog, "cmbDataType", "boolean");
        EXPECT_TRUE(child<QComboBox>(dialog, "cmbBit")->isEnabled());
        pick(dialog, "cmbBit", "9");
        type(dialog, "txtItemName", "Alarm");
        type(dialog, "txtAddress", "3");
        pick(dialog, "cmbAccessRight", "READ");
        press(dialog, "cmdOk");
        // A coil has no bit number.
    });
    EXPECT_EQ(stateOf(rig).items.item("P1.Alarm").nBitNumber, 9);
    EXPECT_EQ(stateOf(rig).items.item("P1.Alarm").sDataType, "input register:boolean");
}

TEST(QuillmarItems, ModifyStaysOpenAndASecondModifyFollowsTheRename) {
    WindowRig rig;
    rig.open(rig.writeSample());
    const size_t itemCount = stateOf(rig).items.size();
    bool stayedOpen = false;
    QString caption;
    whenModal<frmItems>([&](frmItems& dialog) {
        caption = child<QPushButton>(dialog, "cmdOk")->text();
        EXPECT_FALSE(child<QPushButton>(dialog, "cmdAdd")->isEnabled());
        EXPECT_FALSE(child<QPushButton>(dialog, "cmdGroup")->isEnabled());
        EXPECT_EQ(textOf(dialog, "cmbModbusType"), "holding register");
        EXPECT_EQ(textOf(dialog, "cmbDataType"), "unsigned 32 bit");
        EXPECT_EQ(textOf(dialog, "txtAddress"), "40");
        type(dialog, "txtItemName", "Total");
        press(dialog, "cmdOk");
        stayedOpen = dialog.isVisible();
        type(dialog, "txtItemName", "GrandTotal");
        type(dialog, "txtAddress", "44");
        press(dialog, "cmdOk");
        press(dialog, "cmdCancel");
    });
    rig.doubleClickNode("P2.Counter");
    settle(50);
    EXPECT_EQ(caption, "Confirm Modify");
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(rig.messages().empty()) << rig.messages().front();
    EXPECT_FALSE(stateOf(rig).items.contains("P2.Counter"));
    EXPECT_FALSE(stateOf(rig).items.contains("P2.Total"));
    EXPECT_EQ(stateOf(rig).items.item("P2.GrandTotal").nAddress, 44);
    EXPECT_EQ(stateOf(rig).items.size(), itemCount);
    EXPECT_EQ(rig.node("P2.GrandTotal").text, "GrandTotal");
    EXPECT_EQ(rig.window->tree()->currentItem()->text(0), "P2") << "the parent is listed";

    // A double click on a row of the list opens the same dialog for that item.
    rig.clickNode("P1.Pumps.Valves");
    QString opened;
    whenModal<frmItems>([&](frmItems& dialog) {
        opened = textOf(dialog, "txtItemName");
        EXPECT_EQ(textOf(dialog, "cmbDataType"), "boolean array");
        EXPECT_EQ(textOf(dialog, "txtElements"), "16");
        press(dialog, "cmdCancel");
    });
    emit rig.window->list()->rowDoubleClicked("P1.Pumps.Valves.States");
    settle(50);
    EXPECT_EQ(opened, "States");
}

TEST(QuillmarItems, PastedTextKeepsOnlyWhatTheFieldsAccept) {
    WindowRig rig;
    rig.open(rig.writeSample());
    QString name;
    QString address;
    withAddDialog(rig, "P2", [&](frmItems& dialog) {
        QLineEdit* nameField = child<QLineEdit>(dialog, "txtItemName");
        // What is added to the proposed name is filtered.
        nameField->end(false);
        nameField->insert("a b");
        EXPECT_EQ(nameField->text().left(9), "New_Item_");
        EXPECT_TRUE(nameField->text().endsWith("ab")) << nameField->text().toStdString();
        nameField->clear();
        QApplication::clipboard()->setText("Pump 1.Speed:x/y");
        nameField->paste();
        name = nameField->text();
        QLineEdit* addressField = child<QLineEdit>(dialog, "txtAddress");
        addressField->clear();
        addressField->insert("4x0\t2");
        address = addressField->text();
        // Typed characters are filtered too.
        QTest::keyClicks(nameField, ". ;");
        EXPECT_EQ(nameField->text(), name);
    });
    EXPECT_EQ(name, "Pump1Speedxy");
    EXPECT_EQ(address, "402");
}

TEST(QuillmarItems, AddItemIsOfferedOnUnitsAndBranchesOnly) {
    WindowRig rig;
    rig.open(rig.writeSample());
    for (const char* holder : {"P1", "P1.Pumps"}) {
        rig.clickNode(holder);
        EXPECT_TRUE(rig.enabledCommands().contains("mnuAddItem")) << holder;
        EXPECT_TRUE(rig.enabledCommands().contains("item")) << holder;
    }
    for (const char* other : {"", "ModBus", "coil", "P1.Level"}) {
        rig.clickNode(other);
        EXPECT_FALSE(rig.enabledCommands().contains("mnuAddItem")) << other;
    }
}

TEST(QuillmarItems, ATypedModbusTypeOffersNothingAndEscapeLeaves) {
    WindowRig rig;
    rig.open(rig.writeSample());
    const size_t itemCount = stateOf(rig).items.size();
    bool closedByEscape = false;
    withAddDialog(rig, "P2", [&](frmItems& dialog) {
        pick(dialog, "cmbModbusType", "holding register");
        pick(dialog, "cmbDataType", "signed 16 bit");
        QComboBox* modbusTypes = child<QComboBox>(dialog, "cmbModbusType");
        modbusTypes->lineEdit()->selectAll();
        QTest::keyClicks(modbusTypes->lineEdit(), "coil");
        EXPECT_EQ(child<QComboBox>(dialog, "cmbDataType")->count(), 0);
        type(dialog, "txtAddress", "5");
        press(dialog, "cmdOk");
        EXPECT_TRUE(dialog.isVisible());
        QTest::keyClick(&dialog, Qt::Key_Escape);
        closedByEscape = !dialog.isVisible();
    });
    EXPECT_TRUE(closedByEscape);
    EXPECT_EQ(rig.messages(), std::vector<std::string>{"Data Type field is empty."});
    EXPECT_EQ(stateOf(rig).items.size(), itemCount);
}
