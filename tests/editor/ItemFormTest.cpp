// The item dialog's rules without widgets: offered choices, checks and their messages, the
// address advance of "Add and Increment", groups, modifying and the key filters.
#include "TestConfigs.h"
#include "editor/AddressAdvance.h"
#include "editor/ItemEdits.h"
#include "editor/ModelInsert.h"
#include "editor/NameRules.h"
#include "fileformat/ConfigFormat.h"
#include "platform/MessageBox.h"

#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::editor;
using namespace vorn::editor::test;

namespace {

// A Tarnvale configuration with the four Modbus types, unit U and its branch U.B.
struct ItemRig {
    ItemRig() {
        startNew(state, vorn::format::kTarnvaleName);
        for (const char* kind : {"input status", "coil", "input register", "holding register"})
            addModbusType(state, modbusType(kind, 3, 16, 6));
        addDevice(state, tcpDevice("U", "127.0.0.1", 1, 1000, 502));
        branch(state, *state.tree.find("U"), "B");
        state.itemCounter = 7;
        state.configSaved = true;
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> texts;
        for (const auto& shown : boxes.shown())
            texts.push_back(shown.text);
        return texts;
    }
    std::vector<std::string> itemKeys() const {
        std::vector<std::string> keys;
        for (const auto& [key, object] : state.items)
            keys.push_back(key);
        return keys;
    }

    EditorState state;
    ScriptedMessageBox boxes;
    ScopedMessageBoxes useBoxes{boxes};
};

ItemFields filled(const std::string& name, const std::string& modbusType,
                  const std::string& dataType, const std::string& address) {
    ItemFields fields = newItemFields(0);
    fields.name = name;
    pickModbusType(fields, modbusType);
    pickDataType(fields, dataType);
    fields.address = address;
    fields.accessRight = fields.accessRightChoices.front();
    return fields;
}

ItemPosition after(const std::string& modbusType, const std::string& dataType, double address,
                   double bit, double elements) {
    return nextItemPosition(modbusType, dataType, address, bit, elements);
}

} // namespace

TEST(ItemForm, EachModbusTypeOffersItsDataTypesAccessRightsAndFields) {
    ItemFields fields = newItemFields(3);
    EXPECT_EQ(fields.name, "New_Item_3");
    EXPECT_FALSE(fields.bitEnabled);
    EXPECT_FALSE(fields.elementsEnabled);

    pickModbusType(fields, "input register");
    EXPECT_EQ(fields.accessRightChoices, std::vector<std::string>{"READ"});
    EXPECT_EQ(fields.dataTypeChoices.size(), 21u);
    pickDataType(fields, "boolean");
    EXPECT_TRUE(fields.bitEnabled) << "a bit inside an input register";
    EXPECT_FALSE(fields.elementsEnabled);
    pickDataType(fields, "string");
    EXPECT_FALSE(fields.bitEnabled);
    EXPECT_TRUE(fields.elementsEnabled);

    pickModbusType(fields, "coil");
    EXPECT_EQ(fields.dataTypeChoices, (std::vector<std::string>{"boolean", "boolean array"}));
    EXPECT_EQ(fields.accessRightChoices, (std::vector<std::string>{"READ", "WRITE", "READWRITE"}));
    EXPECT_TRUE(fields.dataType.empty()) << "a new Modbus type empties the data type";
    pickDataType(fields, "boolean array");
    EXPECT_FALSE(fields.bitEnabled) << "coils have no bit number";
    EXPECT_TRUE(fields.elementsEnabled);
    EXPECT_EQ(accessRightsFor("input status"), std::vector<std::string>{"READ"});

    // Typed instead of picked: nothing offered, so the checks stop at the data type.
    typeModbusType(fields, "holding register");
    EXPECT_TRUE(fields.dataTypeChoices.empty());
    fields.address = "1";
    EXPECT_EQ(CheckFields(fields), "Data Type field is empty.");
}

TEST(ItemForm, ChecksRunInOrderWithTheirMessages) {
    ItemFields fields = newItemFields(0);
    fields.name.clear();
    EXPECT_EQ(CheckFields(fields), "Item name field is empty.");
    fields.name = "Level";
    EXPECT_EQ(CheckFields(fields), "ModBus Type field is empty.");
    pickModbusType(fields, "holding register");
    EXPECT_EQ(CheckFields(fields), "Data Type field is empty.");
    pickDataType(fields, "signed 16 bit array");
    EXPECT_EQ(CheckFields(fields), "Memory address field is empty.");
    const std::string outOfRange =
        "Memory address field is not valid. It must be between 0 and 65535.";
    for (const char* refused : {"65536", "-1", "1 2", "-", "65535.5"}) {
        fields.address = refused;
        EXPECT_EQ(CheckFields(fields), outOfRange) << refused;
    }
    fields.address = "65535";
    fields.elements.clear();
    EXPECT_EQ(CheckFields(fields), "Number of elements field is empty.");
    for (const char* refused : {"-1", "65536"}) {
        fields.elements = refused;
        EXPECT_EQ(CheckFields(fields), "Number of elements field is not valid.") << refused;
    }
    fields.elements = "0";
    EXPECT_EQ(CheckFields(fields),
              "Number of elements must be at least 1 for an array or a string.");
    fields.address = "65534";
    fields.elements = "2";
    EXPECT_EQ(CheckFields(fields), "Access Rights field is empty.");
    fields.accessRight = "READWRITE";
    EXPECT_EQ(CheckFields(fields), std::nullopt);

    pickDataType(fields, "boolean");
    fields.accessRight = "READ";
    fields.bit.clear();
    EXPECT_EQ(CheckFields(fields), "Bit number field is empty.");
}

TEST(ItemForm, ItemsRunningPastTheLastAddressAreRefusedAsTheServersSkipThem) {
    const std::string pastTheEnd = "The item runs past the last address (65535): move it to a "
                                   "lower Memory address or give it fewer elements.";
    auto check = [](const char* kind, const char* type, const char* address, const char* elements) {
        ItemFields fields = newItemFields(0);
        pickModbusType(fields, kind);
        pickDataType(fields, type);
        fields.address = address;
        fields.elements = elements;
        fields.accessRight = "READ";
        return CheckFields(fields).value_or("ok");
    };
    EXPECT_EQ(check("holding register", "signed 32 bit", "65535", "0"), pastTheEnd);
    EXPECT_EQ(check("holding register", "signed 32 bit", "65534", "0"), "ok");
    EXPECT_EQ(check("holding register", "string", "65530", "20"), pastTheEnd);
    EXPECT_EQ(check("holding register", "signed 16 bit array", "65530", "6"), "ok");
    EXPECT_EQ(check("holding register", "signed 16 bit array", "65530", "7"), pastTheEnd);
    EXPECT_EQ(check("coil", "boolean array", "0", "65535"), "ok"); // the servers load it
    EXPECT_EQ(check("coil", "boolean array", "2", "65535"), pastTheEnd);
    EXPECT_EQ(check("holding register", "boolean", "65535", "0"), "ok");
}

TEST(ItemForm, TheFormMakesTheItemAndAStoredItemSplitsBackIntoTheForm) {
    ItemFields fields = filled("Flag", "input register", "boolean", "12");
    fields.bit = "3";
    fields.comment = "door open";
    clsItem item;
    SetByForm(item, fields, "U.Flag");
    EXPECT_EQ(item.sDataType, "input register:boolean");
    EXPECT_EQ(item.nAddress, 12);
    EXPECT_EQ(item.nBitNumber, 3);
    EXPECT_EQ(item.nElements, 0);
    EXPECT_EQ(item.sAccessRight, "READ");
    EXPECT_EQ(item.sKey, "U.Flag");

    item.sDataType = "coil:boolean array";
    item.nElements = 9;
    const ItemFields coil = fieldsOf(item);
    EXPECT_EQ(coil.modbusType, "coil");
    EXPECT_EQ(coil.dataType, "boolean array");
    EXPECT_EQ(coil.elements, "9");
    EXPECT_EQ(coil.bit, "0");
    item.sDataType = "holding register:32 bit float array";
    EXPECT_EQ(fieldsOf(item).dataType, "32 bit float array");
    EXPECT_EQ(fieldsOf(item).modbusType, "holding register");
    EXPECT_EQ(fieldsOf(item).comment, "door open");
}

TEST(AddressAdvance, EachDataTypeMovesPastTheRegistersItUses) {
    auto expectNext = [](ItemPosition next, long long address, int bit) {
        EXPECT_EQ(next.address, address);
        EXPECT_EQ(next.bit, bit);
    };
    expectNext(after("holding register", "boolean", 10, 15, 0), 11, 0);
    expectNext(after("holding register", "boolean", 10, 4, 0), 10, 5);
    expectNext(after("coil", "boolean", 10, 0, 0), 11, 0);
    expectNext(after("holding register", "boolean array", 10, 4, 20), 11, 8);
    expectNext(after("coil", "boolean array", 10, 0, 20), 30, 0);
    expectNext(after("holding register", "string", 100, 0, 10), 106, 0);
    expectNext(after("holding register", "string", 100, 0, 3), 103, 0);
    expectNext(after("holding register", "string", 100, 0, 1), 101, 0);
    expectNext(after("holding register", "unsigned 8 bit array", 0, 0, 4), 3, 0);
    expectNext(after("input register", "signed 16 bit", 7, 0, 0), 8, 0);
    expectNext(after("holding register", "32 bit float", 7, 0, 0), 9, 0);
    expectNext(after("holding register", "signed 16 bit array", 7, 0, 5), 12, 0);
    expectNext(after("holding register", "32 bit float array", 7, 0, 5), 17, 0);
}

TEST(ItemEdits, AddingChecksTheNameAndKeepsTreeAndCollectionTogether) {
    ItemRig rig;
    rig.state.tree.select(rig.state.tree.find("U.B"));
    ItemEdits edits(rig.state);
    EXPECT_EQ(edits.initialFields().name, "New_Item_7");

    ItemFields fields = filled("Speed", "holding register", "signed 16 bit", "65535");
    ASSERT_TRUE(edits.AddItemToColl(fields));
    EXPECT_TRUE(edits.mayClose());
    EXPECT_EQ(rig.state.items.item("U.B.Speed").nAddress, 65535);
    EXPECT_EQ(rig.state.tree.find("U.B.Speed")->tag, kTagItem);
    EXPECT_EQ(rig.state.itemCounter, 8);
    EXPECT_FALSE(rig.state.configSaved);

    fields.address = "65536";
    EXPECT_FALSE(edits.AddItemToColl(fields));
    EXPECT_FALSE(edits.mayClose());
    fields.address = "1";
    EXPECT_FALSE(edits.AddItemToColl(fields)) << "the same name twice";
    // A branch named like the item would share its key.
    branch(rig.state, *rig.state.tree.find("U.B"), "Sub");
    fields.name = "Sub";
    EXPECT_FALSE(edits.AddItemToColl(fields));
    fields.name = "a.b";
    EXPECT_FALSE(edits.AddItemToColl(fields)) << "a dot would split the key";
    EXPECT_EQ(rig.messages(),
              (std::vector<std::string>{
                  "Memory address field is not valid. It must be between 0 and 65535.",
                  "Name already existing. Please use a different name",
                  "Name already existing. Please use a different name",
                  "Character (.) not acceptable in string a.b"}));
    EXPECT_EQ(rig.itemKeys(), std::vector<std::string>{"U.B.Speed"});
}

TEST(ItemEdits, ItemsAreAddedOnlyUnderUnitsAndBranches) {
    ItemRig rig;
    for (TreeNode* refused :
         {rig.state.tree.root(), rig.state.tree.find("ModBus"), rig.state.tree.find("coil")}) {
        rig.state.tree.select(refused);
        ItemEdits edits(rig.state);
        ItemFields fields = filled("X", "coil", "boolean", "1");
        EXPECT_FALSE(edits.AddItemToColl(fields)) << refused->tag;
    }
    EXPECT_TRUE(rig.state.items.empty());
    EXPECT_EQ(rig.messages().back(), "Items can only be added to a unit or a branch.");
    rig.state.tree.select(rig.state.tree.find("U"));
    ItemEdits edits(rig.state);
    ItemFields fields = filled("X", "coil", "boolean", "1");
    EXPECT_TRUE(edits.AddItemToColl(fields));
    EXPECT_TRUE(rig.state.items.contains("U.X"));
}

TEST(ItemEdits, AGroupAddsConsecutiveItemsAndStopsAtATakenName) {
    ItemRig rig;
    rig.state.tree.select(rig.state.tree.find("U"));
    ItemEdits edits(rig.state);
    ItemFields fields = filled("Lead", "holding register", "signed 32 bit", "0");
    int added = 0;
    ASSERT_TRUE(edits.addGroup(fields, "5", &added));
    EXPECT_EQ(added, 5);
    std::vector<int32_t> addresses;
    for (const auto& [key, item] : rig.state.items)
        addresses.push_back(item->nAddress);
    EXPECT_EQ(addresses, (std::vector<int32_t>{0, 2, 4, 6, 8}));
    EXPECT_EQ(fields.address, "10");
    // Named after the first item; a name ending in a number goes on from it.
    EXPECT_EQ(fields.name, "Lead_5");
    EXPECT_EQ(rig.itemKeys(),
              (std::vector<std::string>{"U.Lead", "U.Lead_1", "U.Lead_2", "U.Lead_3", "U.Lead_4"}));
    ItemFields flow = filled("Flow_1", "holding register", "signed 16 bit", "100");
    ASSERT_TRUE(edits.addGroup(flow, "2", &added));
    EXPECT_EQ(rig.itemKeys().back(), "U.Flow_2");
    EXPECT_EQ(flow.name, "Flow_3");
    // Blanks are refused in item names, also where no dialog filters them out.
    ItemFields blank = filled("Flow 9", "holding register", "signed 16 bit", "200");
    EXPECT_FALSE(edits.AddItemToColl(blank));
    EXPECT_EQ(rig.messages().back(), "Character ( ) not acceptable in string Flow 9");

    // The third name of the next group is taken: two are added, then the name message.
    ItemRig second;
    second.state.tree.select(second.state.tree.find("U"));
    ItemEdits group(second.state);
    ItemFields next = filled("First", "holding register", "signed 32 bit", "0");
    addItem(second.state, *second.state.tree.find("U"),
            item("U", "First_2", "holding register:signed 16 bit", 100));
    ASSERT_TRUE(group.addGroup(next, "5", &added));
    EXPECT_EQ(added, 2);
    EXPECT_EQ(second.messages(),
              std::vector<std::string>{"Name already existing. Please use a different name"});
    EXPECT_EQ(next.address, "4") << "the refused item stays prepared";

    EXPECT_FALSE(group.addGroup(next, "abc", &added));
    EXPECT_FALSE(group.addGroup(next, "12345", &added));
    EXPECT_EQ(second.messages().back(), "Number of items is not valid.");
    EXPECT_TRUE(group.addGroup(next, "0", &added));
    EXPECT_EQ(added, 0);
}

TEST(ItemEdits, ASecondModificationAfterARenameChangesTheRenamedItem) {
    ItemRig rig;
    TreeNode& unit = *rig.state.tree.find("U");
    addItem(rig.state, unit, item("U", "Before", "holding register:signed 16 bit", 1));
    addItem(rig.state, unit, item("U", "Other", "holding register:signed 16 bit", 2));
    addItem(rig.state, unit, item("U", "Last", "holding register:signed 16 bit", 3));
    ItemEdits edits(rig.state, *rig.state.tree.find("U.Before"));
    ItemFields fields = edits.initialFields();
    EXPECT_EQ(fields.dataType, "signed 16 bit");

    fields.name = "Other";
    EXPECT_FALSE(edits.AddItemToColl(fields)) << "a sibling's name";
    fields.name = "After";
    ASSERT_TRUE(edits.AddItemToColl(fields));
    EXPECT_FALSE(edits.mayClose()) << "the dialog stays open after a modification";
    fields.address = "40";
    fields.name = "Again";
    ASSERT_TRUE(edits.AddItemToColl(fields));
    EXPECT_EQ(edits.editedItem()->sKey, "U.Again");
    EXPECT_EQ(rig.itemKeys(), (std::vector<std::string>{"U.Again", "U.Other", "U.Last"}));
    EXPECT_EQ(rig.state.items.item("U.Again").nAddress, 40);
    EXPECT_EQ(rig.state.tree.find("U.Again")->text, "Again");
    EXPECT_EQ(unit.children.size(), 4u) << "branch B and the three items";
    // Keeping the name is no collision with itself.
    fields.address = "41";
    EXPECT_TRUE(edits.AddItemToColl(fields));
    EXPECT_EQ(rig.state.items.item("U.Again").nAddress, 41);
}

TEST(ItemForm, KeyFiltersHoldForTypedAndInsertedText) {
    EXPECT_EQ(itemNameKeyFilter('a'), 'a');
    EXPECT_EQ(itemNameKeyFilter('_'), '_');
    EXPECT_EQ(itemNameKeyFilter(8), 8);
    for (int refused : {' ', '.', ':', '/', '|', '\\', ';', ','})
        EXPECT_EQ(itemNameKeyFilter(refused), 0) << char(refused);
    EXPECT_EQ(filteredText("Pump 1.Speed:a/b|\xC3\xA9", itemNameKeyFilter), "Pump1Speedab");
    EXPECT_EQ(filteredText("12\tx3-\r\n4.5", NumericKeyFilter), "123-4.5");
}
