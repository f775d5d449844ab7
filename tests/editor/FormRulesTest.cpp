// The unit and Modbus type dialogs' rules without widgets: numbers as typed, defaults, the
// checks on OK in their order, and what the accepted fields make.
#include "TestConfigs.h"
#include "editor/ConfigImport.h"
#include "editor/DeviceForm.h"
#include "editor/ModbusTypeForm.h"
#include "editor/ModelInsert.h"
#include "editor/NumericText.h"
#include "fileformat/ConfigFormat.h"
#include "platform/MessageBox.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace vorn::editor;
using namespace vorn::editor::test;

namespace {

std::string problem(const DeviceFields& fields, const std::string& kind, const EditorState& state,
                    const clsPLC* edited = nullptr) {
    return deviceFieldsProblem(fields, kind, state, edited).value_or("ok");
}

std::shared_ptr<clsPLC> serialUnit(const std::string& name, int id, const std::string& com,
                                   int baud) {
    DeviceFields fields = newDeviceFields(vorn::format::kRennickName, 0);
    fields.name = name;
    fields.ui = std::to_string(id);
    fields.com = com;
    fields.baud = std::to_string(baud);
    return deviceFromFields(fields, vorn::format::kRennickName);
}

} // namespace

TEST(NumericText, NumbersAsTypedAndTheirLeadingNumber) {
    for (const char* text : {"12", " -3 ", "2.5", ".5", "+7", "0"})
        EXPECT_TRUE(isNumeric(text)) << text;
    for (const char* text : {"", " ", "abc", "1e3", "1,000", "0x10", "1.2.3", "12a", "-", "."})
        EXPECT_FALSE(isNumeric(text)) << text;
    EXPECT_EQ(leadingNumber("19200 b/s"), 19200);
    EXPECT_EQ(leadingNumber("  -4.5x"), -4.5);
    EXPECT_EQ(leadingNumber("abc"), 0);
    EXPECT_EQ(wholeValue("2.5"), 2); // half to even
    EXPECT_EQ(wholeValue("3.5"), 4);
    EXPECT_EQ(wholeValueIn("255", 0, 254), std::nullopt);
    EXPECT_EQ(wholeValueIn("254", 0, 254), 254);
    EXPECT_EQ(wholeValue("99999999999999999999"), std::nullopt);
}

TEST(DeviceForm, NewUnitsAreProposedWithTheirDefaults) {
    DeviceFields tcp = newDeviceFields(vorn::format::kTarnvaleName, 0);
    EXPECT_EQ(tcp.name, "New Plc 0");
    EXPECT_EQ(tcp.ui, "1");
    EXPECT_EQ(tcp.timeout, "2000");
    EXPECT_EQ(tcp.address, "192.168.0.1");
    EXPECT_EQ(tcp.tcpPort, "502");
    DeviceFields serial = newDeviceFields(vorn::format::kRennickName, 7);
    EXPECT_EQ(serial.name, "New Plc 7");
    EXPECT_EQ(serial.com + serial.baud + serial.parity + serial.dataBits + serial.stopBits +
                  serial.flow + serial.silent,
              "COM19600NO81NONE10");
    EXPECT_EQ(baudChoices().front(), "2400");
    EXPECT_EQ(dataBitsChoices().front(), "8");
}

TEST(DeviceForm, IdentifierRulesAndUniquenessPerConnection) {
    EditorState state;
    startNew(state, vorn::format::kTarnvaleName);
    auto first = tcpDevice("P1", "10.0.0.1", 1, 1000, 502);
    addDevice(state, first);
    addDevice(state, tcpDevice("P2", "10.0.0.1", 2, 1000, 502));

    DeviceFields fields = newDeviceFields(vorn::format::kTarnvaleName, 3);
    fields.ui = "254";
    EXPECT_EQ(problem(fields, vorn::format::kTarnvaleName, state), "ok");
    fields.ui = "255";
    EXPECT_EQ(problem(fields, vorn::format::kTarnvaleName, state),
              "UI identifier must be between 0 and 254.");
    fields.ui = "-1";
    EXPECT_EQ(problem(fields, vorn::format::kTarnvaleName, state),
              "UI identifier must be between 0 and 254.");
    fields.ui = "abc";
    EXPECT_EQ(problem(fields, vorn::format::kTarnvaleName, state), "UI identifier is not valid.");

    // Identifier 1 is free at another address, taken on P1's connection.
    fields.ui = "1";
    EXPECT_EQ(problem(fields, vorn::format::kTarnvaleName, state), "ok");
    fields.address = "10.0.0.1";
    EXPECT_EQ(problem(fields, vorn::format::kTarnvaleName, state),
              "UI already existing. Please use a different one");
    fields.tcpPort = "5020";
    EXPECT_EQ(problem(fields, vorn::format::kTarnvaleName, state), "ok");

    // Editing P1 without changing its identifier passes; changing it to P2's fails.
    DeviceFields edit = fieldsOf(*first, vorn::format::kTarnvaleName);
    EXPECT_EQ(problem(edit, vorn::format::kTarnvaleName, state, first.get()), "ok");
    edit.ui = "2";
    EXPECT_EQ(problem(edit, vorn::format::kTarnvaleName, state, first.get()),
              "UI already existing. Please use a different one");
}

TEST(DeviceForm, NamesAddressesAndNumbersTheFilesCannotCarryAreRefused) {
    EditorState state;
    startNew(state, vorn::format::kTarnvaleName);
    addModbusType(state, modbusType("coil", 1, 15, 5));
    addDevice(state, tcpDevice("P1", "10.0.0.1", 1, 1000, 502));
    auto refusedName = [&](const std::string& name) {
        DeviceFields fields = newDeviceFields(vorn::format::kTarnvaleName, 1);
        fields.name = name;
        return problem(fields, vorn::format::kTarnvaleName, state);
    };
    EXPECT_EQ(refusedName(""), "Name field is empty.");
    EXPECT_EQ(refusedName("P.1"), "Character (.) not acceptable in string P.1");
    EXPECT_EQ(refusedName("Line/2"), "Character (/) not acceptable in string Line/2");
    EXPECT_EQ(refusedName("Line 2"), "ok"); // blanks are fine in unit names
    EXPECT_EQ(refusedName("ModBus"), "Name already existing. Please use a different name");
    EXPECT_EQ(refusedName("coil"), "Name already existing. Please use a different name");
    EXPECT_EQ(refusedName("P1"), "Name already existing. Please use a different name");

    DeviceFields fields = newDeviceFields(vorn::format::kTarnvaleName, 1);
    fields.timeout = "-1";
    EXPECT_EQ(problem(fields, vorn::format::kTarnvaleName, state),
              "Timeout must be between 0 and 4294967295.");
    fields.timeout = "x";
    EXPECT_EQ(problem(fields, vorn::format::kTarnvaleName, state), "Timeout value is not valid.");
    fields = newDeviceFields(vorn::format::kTarnvaleName, 1);
    fields.address = "";
    EXPECT_EQ(problem(fields, vorn::format::kTarnvaleName, state), "Address field is empty.");
    for (const char* address : {"10.0.0", "10.0.0.1x", "10.0.0.256", "plc.local"}) {
        fields.address = address;
        EXPECT_EQ(problem(fields, vorn::format::kTarnvaleName, state),
                  "Address is not a valid IPv4 address.")
            << address;
    }
    fields.address = "10.0.0.9";
    for (const char* port : {"0", "65536", "x", ""}) {
        fields.tcpPort = port;
        EXPECT_EQ(problem(fields, vorn::format::kTarnvaleName, state),
                  "TCP port must be between 1 and 65535.")
            << port;
    }
    fields.tcpPort = "5020";
    auto device = deviceFromFields(fields, vorn::format::kTarnvaleName);
    EXPECT_EQ(device->getPort(), 5020);
    EXPECT_EQ(device->getAddress(), "10.0.0.9");
    EXPECT_EQ(device->sKey(), "New Plc 1");
    EXPECT_EQ(device->getTimeout(), 2000);
}

TEST(DeviceForm, SerialPortsAndLineSettings) {
    EditorState state;
    startNew(state, vorn::format::kRennickName);
    addDevice(state, serialUnit("R1", 1, "COM1", 9600));
    auto serialProblem = [&](auto change) {
        DeviceFields fields = newDeviceFields(vorn::format::kRennickName, 2);
        fields.ui = "2";
        change(fields);
        return problem(fields, vorn::format::kRennickName, state);
    };
    EXPECT_EQ(serialProblem([](DeviceFields& f) { f.com = "com1"; }),
              "Invalid Port name. It must begin with \"COM\"");
    EXPECT_EQ(serialProblem([](DeviceFields& f) { f.com = "COM"; }),
              "Invalid Port name. Missing port number.");
    EXPECT_EQ(serialProblem([](DeviceFields& f) { f.com = ""; }), "Port name field empty.");
    EXPECT_EQ(serialProblem([](DeviceFields& f) { f.com = "COM1.5"; }),
              "Invalid Port name. The port number must be a whole number from 1 to 255.");
    EXPECT_EQ(serialProblem([](DeviceFields& f) { f.com = "COM256"; }),
              "Invalid Port name. The port number must be a whole number from 1 to 255.");
    EXPECT_EQ(serialProblem([](DeviceFields& f) { f.com = "COM12"; }), "ok");
    EXPECT_EQ(serialProblem([](DeviceFields& f) { f.silent = ""; }),
              "Silent interval field empty.");
    EXPECT_EQ(serialProblem([](DeviceFields& f) { f.silent = "a"; }), "Invalid Silent interval.");
    EXPECT_EQ(serialProblem([](DeviceFields& f) { f.silent = "-5"; }),
              "Silent interval must be between 0 and 4294967295.");
    EXPECT_EQ(serialProblem([](DeviceFields& f) { f.dataBits = "9"; }),
              "Data bits must be 5, 6, 7 or 8.");
    EXPECT_EQ(serialProblem([](DeviceFields& f) { f.stopBits = "x"; }),
              "Stop bits must be 1 or 2.");
    // A second unit on COM1 must share its line settings; on COM2 it need not.
    EXPECT_EQ(serialProblem([](DeviceFields& f) { f.baud = "19200"; }),
              "Plc R1 has the same port but different Baud Rate");
    EXPECT_EQ(serialProblem([](DeviceFields& f) { f.parity = "EVEN"; }),
              "Plc R1 has the same port but different Parity");
    EXPECT_EQ(serialProblem([](DeviceFields& f) {
                  f.baud = "19200";
                  f.com = "COM2";
              }),
              "ok");
    // Identifier 1 is R1's on COM1, free on COM2.
    EXPECT_EQ(serialProblem([](DeviceFields& f) { f.ui = "1"; }),
              "UI already existing. Please use a different one");
    EXPECT_EQ(serialProblem([](DeviceFields& f) {
                  f.ui = "1";
                  f.com = "COM2";
              }),
              "ok");
}

TEST(ModbusTypeForm, KindsProposeTheirCodesAndTheChecksRunInOrder) {
    EditorState state;
    startNew(state, vorn::format::kTarnvaleName);
    addModbusType(state, modbusType("coil", 1, 15, 5));

    ModbusTypeFields inputRegister = fieldsForKind("input register");
    EXPECT_EQ(inputRegister.readCode, "4");
    EXPECT_EQ(inputRegister.writeCode, "");
    EXPECT_FALSE(inputRegister.writeEnabled || inputRegister.singleEnabled || inputRegister.single);
    auto stored = modbusTypeFromFields(inputRegister);
    EXPECT_EQ(stored->getReadCode(), 4);
    EXPECT_EQ(stored->getWriteCode(), 0);
    EXPECT_EQ(stored->getSingleWrCode(), 0);

    ModbusTypeFields holding = fieldsForKind("holding register");
    EXPECT_EQ(holding.readCode + holding.writeCode + holding.singleCode, "3166");
    setSingleWrite(holding, false);
    EXPECT_EQ(holding.singleCode, "");
    stored = modbusTypeFromFields(holding);
    EXPECT_EQ(stored->getWriteCode(), 16);
    EXPECT_EQ(stored->getSingleWrCode(), 0);
    ModbusTypeFields reopened = fieldsOf(*stored);
    EXPECT_FALSE(reopened.single);
    EXPECT_TRUE(reopened.singleEnabled);
    EXPECT_EQ(reopened.singleCode, "");

    EXPECT_EQ(modbusTypeFieldsProblem(fieldsForKind("coil"), state, false),
              "ModBus type already existing");
    EXPECT_EQ(modbusTypeFieldsProblem(fieldsForKind("coil"), state, true), std::nullopt);
    EXPECT_EQ(modbusTypeFieldsProblem(ModbusTypeFields{}, state, false),
              "Check Read Function code");
    ModbusTypeFields wrong = fieldsForKind("holding register");
    wrong.writeCode = "x";
    EXPECT_EQ(modbusTypeFieldsProblem(wrong, state, false), "Check Write Function code");
    wrong = fieldsForKind("holding register");
    wrong.singleCode = "300";
    EXPECT_EQ(modbusTypeFieldsProblem(wrong, state, false), "Check Single Write Function code");

    // A unit may already carry a kind's name as its key.
    addDevice(state, tcpDevice("input status", "10.0.0.1", 1, 1000, 502));
    EXPECT_EQ(modbusTypeFieldsProblem(fieldsForKind("input status"), state, false),
              "Name already existing. Please use a different name");
}

TEST(DeviceForm, TheFileReaderRefusesTheNumbersTheDialogRefuses) {
    vorn::ScriptedMessageBox boxes;
    vorn::ScopedMessageBoxes scope(boxes);
    const std::string path =
        (std::filesystem::temp_directory_path() / "form-rules-reader.xml").string();
    auto importDevice = [&](const std::string& attributes) {
        std::ofstream(path) << "<VornModBusTcpIpCfg><OPC_DA><PLC name=\"P1\" address=\"10.0.0.1\" "
                               "id=\"1\" "
                            << attributes << "><tags/></PLC></OPC_DA></VornModBusTcpIpCfg>";
        EditorState state;
        state.startConfiguration(path);
        return ImportXML(state, path);
    };
    EXPECT_TRUE(importDevice("timeout=\"0\" port=\"65535\""));
    EXPECT_FALSE(importDevice("timeout=\"1000\" port=\"0\""));
    EXPECT_FALSE(importDevice("timeout=\"-5\""));
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[0].text.rfind(" Error n. 6  Overflow: port of PLC P1", 0), 0u)
        << boxes.shown()[0].text;
    EXPECT_EQ(boxes.shown()[1].text.rfind(" Error n. 6  Overflow: timeout of PLC P1", 0), 0u)
        << boxes.shown()[1].text;
    std::filesystem::remove(path);
}

TEST(DeviceForm, AUnitIsNeverInConflictWithItselfAndIdentifiersStayUniqueAfterEveryEdit) {
    EditorState state;
    startNew(state, vorn::format::kRennickName);
    auto p1 = serialUnit("P1", 1, "COM1", 9600);
    addDevice(state, p1);
    addDevice(state, serialUnit("P2", 1, "COM2", 9600));

    // Renamed and given another baud rate in one edit: the only unit on COM1 is P1 itself.
    DeviceFields edit = fieldsOf(*p1, vorn::format::kRennickName);
    edit.name = "P1new";
    edit.baud = "19200";
    EXPECT_EQ(problem(edit, vorn::format::kRennickName, state, p1.get()), "ok");

    // Moved to COM2, where P2 already answers to identifier 1, with its identifier unchanged.
    edit = fieldsOf(*p1, vorn::format::kRennickName);
    edit.com = "COM2";
    EXPECT_EQ(problem(edit, vorn::format::kRennickName, state, p1.get()),
              "UI already existing. Please use a different one");

    EditorState tcp;
    startNew(tcp, vorn::format::kTarnvaleName);
    auto t1 = tcpDevice("T1", "10.0.0.1", 1, 1000, 502);
    addDevice(tcp, t1);
    addDevice(tcp, tcpDevice("T2", "10.0.0.2", 1, 1000, 502));
    DeviceFields moved = fieldsOf(*t1, vorn::format::kTarnvaleName);
    moved.address = "10.0.0.2";
    EXPECT_EQ(problem(moved, vorn::format::kTarnvaleName, tcp, t1.get()),
              "UI already existing. Please use a different one");
}

TEST(DeviceForm, BlankNamesAndPortsTheServerTakesForOneLineAreRefused) {
    EditorState state;
    startNew(state, vorn::format::kRennickName);
    addDevice(state, serialUnit("R1", 1, "COM1", 9600));
    DeviceFields fields = newDeviceFields(vorn::format::kRennickName, 2);
    fields.ui = "2";
    fields.name = "   ";
    EXPECT_EQ(problem(fields, vorn::format::kRennickName, state), "Name field is empty.");

    // COM01 is the server's COM1: the same line, so the same settings and other identifiers.
    fields.name = "R2";
    fields.com = "COM01";
    fields.baud = "19200";
    EXPECT_EQ(problem(fields, vorn::format::kRennickName, state),
              "Plc R1 has the same port but different Baud Rate");
    fields.baud = "9600";
    fields.ui = "1";
    EXPECT_EQ(problem(fields, vorn::format::kRennickName, state),
              "UI already existing. Please use a different one");
}
