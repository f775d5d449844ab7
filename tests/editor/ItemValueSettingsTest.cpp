// Byte orders and scaling in Quillmar's core: which items offer them, the checks with their
// messages (the servers' rules), the file lines they make (none at their defaults), reading
// them back, refusing what the servers would skip, and copies that carry them.
#include "TestConfigs.h"
#include "editor/AddressAdvance.h"
#include "editor/BulkReplace.h"
#include "editor/ConfigExport.h"
#include "editor/ConfigImport.h"
#include "editor/DeviceForm.h"
#include "editor/ItemClipboard.h"
#include "editor/ItemForm.h"
#include "editor/ModelInsert.h"
#include "editor/TreeDrop.h"
#include "fileformat/ConfigFormat.h"
#include "platform/MessageBox.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::editor;
using namespace vorn::editor::test;

namespace {

ItemFields picked(const std::string& modbusType, const std::string& dataType) {
    ItemFields fields = newItemFields(0);
    fields.name = "X";
    fields.address = "0";
    pickModbusType(fields, modbusType);
    pickDataType(fields, dataType);
    fields.accessRight = "READ";
    return fields;
}

ItemFields scaledFields(const std::string& rawLow, const std::string& rawHigh,
                        const std::string& euLow, const std::string& euHigh,
                        const std::string& units = "") {
    ItemFields fields = picked("holding register", "unsigned 16 bit");
    fields.rawLow = rawLow;
    fields.rawHigh = rawHigh;
    fields.euLow = euLow;
    fields.euHigh = euHigh;
    fields.units = units;
    return fields;
}

std::string importError(const std::string& text) {
    ScriptedMessageBox boxes;
    ScopedMessageBoxes scope(boxes);
    const std::string path =
        (std::filesystem::temp_directory_path() / "quillmar-value-settings.xml").string();
    std::ofstream(path, std::ios::binary) << text;
    EditorState state;
    state.startConfiguration(path);
    const bool read = ImportXML(state, path);
    std::filesystem::remove(path);
    return read || boxes.shown().empty() ? std::string() : boxes.shown().front().text;
}

std::string tarnvaleTag(const std::string& datatype, const std::string& settings) {
    return "<VornModBusTcpIpCfg><MODBUS/><OPC_DA><PLC name=\"P\" address=\"1.2.3.4\" id=\"1\" "
           "timeout=\"9\"><tags><tag><name>T</name><comment/><address>0</address><datatype>" +
           datatype + "</datatype><accessrights>READ</accessrights>" + settings +
           "</tag></tags></PLC></OPC_DA></VornModBusTcpIpCfg>";
}

} // namespace

TEST(ItemValueSettings, OrderAppliesToRegisterValuesAndScalingToNumbersOnly) {
    struct Case {
        const char* modbusType;
        const char* dataType;
        bool order;
        bool scaling;
    };
    for (const Case& c : {Case{"holding register", "32 bit float", true, true},
                          Case{"input register", "signed 64 bit array", true, true},
                          Case{"holding register", "unsigned 8 bit array", true, true},
                          Case{"holding register", "string", true, false},
                          Case{"holding register", "boolean", false, false},
                          Case{"input register", "boolean array", false, false},
                          Case{"coil", "boolean", false, false}}) {
        SCOPED_TRACE(std::string(c.modbusType) + ":" + c.dataType);
        ItemFields fields = picked(c.modbusType, c.dataType);
        EXPECT_EQ(fields.byteOrderEnabled, c.order);
        EXPECT_EQ(fields.scalingEnabled, c.scaling);
    }
    // A field that stops applying is emptied, as the bit number shows "0".
    ItemFields fields = scaledFields("0", "10", "0", "1", "A");
    fields.byteOrder = "CDAB - low word first";
    pickDataType(fields, "boolean");
    EXPECT_EQ(fields.byteOrder, kDeviceDefaultChoice);
    EXPECT_EQ(fields.rawHigh, "");
    EXPECT_EQ(fields.units, "");

    const std::vector<std::string>& types = dataTypesFor("holding register");
    for (const char* wide : {"unsigned 64 bit", "signed 64 bit", "64 bit float",
                             "unsigned 64 bit array", "signed 64 bit array", "64 bit float array"})
        EXPECT_NE(std::find(types.begin(), types.end(), wide), types.end()) << wide;
    EXPECT_EQ(byteOrderChoices(true).front(), "Device default");
    EXPECT_EQ(byteOrderChoices(true)[2], "CDAB - low word first");
    EXPECT_EQ(byteOrderChoices(false).front(), "ABCD - high word first");
}

TEST(ItemValueSettings, ScalingIsCheckedWithTheServersRulesAndMessages) {
    EXPECT_EQ(CheckFields(scaledFields("0", "16384", "0", "100", "%")), std::nullopt);
    EXPECT_EQ(CheckFields(scaledFields("", "", "", "")), std::nullopt) << "no scaling";
    EXPECT_EQ(CheckFields(scaledFields("0", "16384", "0", "")),
              "Scaling needs all four of Raw low, Raw high, EU low, EU high; missing: EU high.");
    EXPECT_EQ(CheckFields(scaledFields("0", "1,5", "0", "1")),
              "Raw high \"1,5\" is not a number (digits with a decimal point \".\").");
    EXPECT_EQ(CheckFields(scaledFields("-", "1", "0", "1")),
              "Raw low \"-\" is not a number (digits with a decimal point \".\").");
    EXPECT_EQ(CheckFields(scaledFields("5", "5.0", "0", "1")),
              "Raw low and Raw high are equal (5): they make no scale.");
    EXPECT_EQ(CheckFields(scaledFields("0", "1", "2", "2")),
              "EU low and EU high are equal (2): they make no scale.");
    EXPECT_EQ(CheckFields(scaledFields("", "", "", "", "kWh")),
              "Units need the scaling: fill in Raw low, Raw high, EU low and EU high.");
}

TEST(ItemValueSettings, TheFormMakesTheItemAndTheItemShowsInTheForm) {
    ItemFields fields = scaledFields(" 0", "16384 ", "0", "100", "%");
    fields.byteOrder = "BADC - bytes swapped in each register";
    clsItem item;
    SetByForm(item, fields, "U.X");
    EXPECT_EQ(item.sByteOrder, "BADC");
    EXPECT_EQ(item.sRawLow, "0");
    EXPECT_EQ(item.sRawHigh, "16384");
    EXPECT_EQ(item.sUnits, "%");
    const ItemFields back = fieldsOf(item);
    EXPECT_EQ(back.byteOrder, "BADC - bytes swapped in each register");
    EXPECT_EQ(back.euHigh, "100");

    clsItem plain;
    SetByForm(plain, picked("holding register", "32 bit float"), "U.Y");
    EXPECT_EQ(plain.sByteOrder, "") << "Device default is no order of the item's own";
    EXPECT_EQ(fieldsOf(plain).byteOrder, kDeviceDefaultChoice);

    clsItem copy;
    copy.SetByCopy(item, "U", 3);
    EXPECT_EQ(copy.sName, "X_3");
    EXPECT_EQ(copy.sByteOrder, "BADC");
    EXPECT_EQ(copy.sEuHigh, "100");
    EXPECT_EQ(copy.sUnits, "%");
}

TEST(ItemValueSettings, SettingsAreWrittenOnlyWhenSetAndReadBack) {
    clsItem speed = *item("U", "Speed", "holding register:unsigned 16 bit", 1);
    speed.sRawLow = "0";
    speed.sRawHigh = "16384";
    speed.sEuLow = "0";
    speed.sEuHigh = "100";
    speed.sUnits = "\xC2\xB0"
                   "C";
    speed.sByteOrder = "DCBA";
    EXPECT_EQ(speed.GetXmlTag(1), "\t<tag>\r\n"
                                  "\t\t<name>Speed</name>\r\n"
                                  "\t\t<comment></comment>\r\n"
                                  "\t\t<address>1</address>\r\n"
                                  "\t\t<datatype>HREGISTER VT_UI2</datatype>\r\n"
                                  "\t\t<accessrights>READWRITE</accessrights>\r\n"
                                  "\t\t<byteorder>DCBA</byteorder>\r\n"
                                  "\t\t<rawlow>0</rawlow>\r\n"
                                  "\t\t<rawhigh>16384</rawhigh>\r\n"
                                  "\t\t<eulow>0</eulow>\r\n"
                                  "\t\t<euhigh>100</euhigh>\r\n"
                                  "\t\t<units>\xB0"
                                  "C</units>\r\n"
                                  "\t</tag>\r\n");
    const std::string plain = item("U", "Plain", "holding register:signed 64 bit", 1)->GetXmlTag(1);
    EXPECT_EQ(plain.find("byteorder"), std::string::npos);
    EXPECT_NE(plain.find("<datatype>HREGISTER VT_I8</datatype>"), std::string::npos);

    auto tcp = tcpDevice("P", "1.2.3.4", 1, 100, 502);
    EXPECT_EQ(tcp->GetXmlTag(format::kTarnvaleName).find("byteorder"), std::string::npos);
    tcp->setByteOrder("CDAB");
    EXPECT_EQ(tcp->GetXmlTag(format::kTarnvaleName),
              "\t\t<PLC name=\"P\" address = \"1.2.3.4\" id=\"1\" timeout=\"100\" "
              "byteorder=\"CDAB\">\r\n");
    const std::string serial = tcp->GetXmlTag(format::kRennickName);
    EXPECT_EQ(serial.substr(serial.size() - 32), "\t\t\t<byteorder>CDAB</byteorder>\r\n");
}

TEST(ItemValueSettings, TheReaderRefusesWhatTheServersWouldSkip) {
    EXPECT_EQ(importError(tarnvaleTag("HREGISTER VT_R4", "<byteorder>CDAB</byteorder>")), "");
    EXPECT_EQ(importError(tarnvaleTag("HREGISTER VT_R4", "<byteorder>XYZW</byteorder>")),
              " Error n. 380  Invalid property value: tag P.T: byteorder \"XYZW\" is not one of "
              "ABCD, CDAB, BADC, DCBA in ImportXML");
    EXPECT_EQ(importError(tarnvaleTag("COIL", "<byteorder>CDAB</byteorder>")),
              " Error n. 380  Invalid property value: tag P.T: byteorder does not apply to a bit: "
              "bits are numbered in the register's value in ImportXML");
    EXPECT_EQ(importError(tarnvaleTag("HREGISTER VT_I2", "<rawlow>0</rawlow><rawhigh>1</rawhigh>")),
              " Error n. 380  Invalid property value: tag P.T: scaling needs all four of rawlow, "
              "rawhigh, eulow, euhigh; missing: eulow, euhigh in ImportXML");
    EXPECT_EQ(importError(tarnvaleTag("HREGISTER VT_BSTR",
                                      "<rawlow>0</rawlow><rawhigh>1</rawhigh><eulow>0</eulow>"
                                      "<euhigh>1</euhigh>")),
              " Error n. 380  Invalid property value: tag P.T: scaling applies only to numbers in "
              "registers, not to a bit or a string in ImportXML");
    EXPECT_NE(
        importError("<VornModBusTcpIpCfg><MODBUS/><OPC_DA><PLC name=\"P\" address=\"1.2.3.4\" "
                    "id=\"1\" timeout=\"9\" byteorder=\"dcba\"/></OPC_DA></VornModBusTcpIpCfg>")
            .find("byteorder \"dcba\" is not one of"),
        std::string::npos);
}

TEST(ItemValueSettings, TheUnitDialogOffersTheDeviceDefault) {
    DeviceFields fields = newDeviceFields(format::kTarnvaleName, 0);
    EXPECT_EQ(fields.byteOrder, "ABCD - high word first");
    fields.byteOrder = "CDAB - low word first";
    EXPECT_EQ(deviceFromFields(fields, format::kTarnvaleName)->getByteOrder(), "CDAB");
    EXPECT_EQ(
        fieldsOf(*deviceFromFields(fields, format::kRennickName), format::kRennickName).byteOrder,
        "CDAB - low word first");
}

TEST(AddressAdvance, SixtyFourBitTypesMoveByFourRegistersAnElement) {
    for (const char* type : {"unsigned 64 bit", "signed 64 bit", "64 bit float"})
        EXPECT_EQ(nextItemPosition("holding register", type, 10, 0, 0).address, 14) << type;
    EXPECT_EQ(nextItemPosition("input register", "64 bit float array", 10, 0, 3).address, 22);
}

TEST(ItemValueSettings, PasteDragAndNamesPasteCarryTheSettings) {
    EditorState state;
    startNew(state, format::kTarnvaleName);
    addModbusType(state, modbusType("holding register", 3, 16, 6));
    TreeNode& unit = addDevice(state, tcpDevice("U", "127.0.0.1", 1, 100, 502));
    TreeNode& from = branch(state, unit, "A");
    TreeNode& to = branch(state, unit, "B");
    auto speed = item(from.key, "Speed", "holding register:unsigned 16 bit", 1);
    speed->sByteOrder = "BADC";
    speed->sRawLow = "0";
    speed->sRawHigh = "16384";
    speed->sEuLow = "0";
    speed->sEuHigh = "100";
    speed->sUnits = "%";
    addItem(state, from, speed);
    auto expectSettings = [&](const std::string& key) {
        SCOPED_TRACE(key);
        const std::shared_ptr<clsItem> found = state.items.find(key);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->sByteOrder, "BADC");
        EXPECT_EQ(found->sRawHigh, "16384");
        EXPECT_EQ(found->sEuHigh, "100");
        EXPECT_EQ(found->sUnits, "%");
    };

    copyTreeNode(state, *state.tree.find("U.A.Speed"));
    pasteItems(state, to);
    expectSettings("U.B.Speed");

    dropNode(state, *state.tree.find("U.A.Speed"), unit, true);
    expectSettings("U.Speed");

    const ReplacePlan plan = planReplace(state, ReplaceField::name, "Setpoint\r\n", {"U.A.Speed"});
    ASSERT_FALSE(plan.refusal);
    applyNames(state, plan);
    expectSettings("U.A.Setpoint");
}
