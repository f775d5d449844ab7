// A whole configuration made in Quillmar's window as a new user makes it, through the dialogs
// only (and a column of names pasted over a group of items), saved with Save As; then the real
// server finds it through the registry value Quillmar wrote, polls the device simulator and shows
// every tag Good, with the simulator's values, to a real OPC UA client. Tarnvale over TCP, Rennick
// over a pseudo-terminal pair.
#include "ChildProcess.h"
#include "ClipboardColumn.h"
#include "PtyPair.h"
#include "RequestLogRecords.h"
#include "ScopedEnv.h"
#include "ServerEndpoint.h"
#include "SimProcess.h"
#include "TestConfigs.h"
#include "WindowRig.h"
#include "editor/window/frmAdvanced.h"
#include "editor/window/frmBranch.h"
#include "editor/window/frmCsvPreview.h"
#include "editor/window/frmItems.h"
#include "editor/window/frmPLC.h"
#include "fileformat/ConfigFormat.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <set>

using namespace vorn;
using namespace vorn::editor;
using namespace vorn::editor::test;
using namespace std::chrono_literals;
using vorn::test::ChildProcess;
using vorn::test::opcUaEndpointOf;
using vorn::test::PtyPair;
using vorn::test::ScopedEnv;
using vorn::test::SimProcess;

namespace {

constexpr int kGroupSize = 20;
// The Modbus TCP port of the first unit; another is taken when something else listens there.
constexpr const char* kPreferredTcpPort = "1502";

// ---- Driving the dialogs --------------------------------------------------------------------

template <class T> T& child(QWidget& dialog, const char* name) {
    T* found = dialog.findChild<T*>(name);
    if (!found)
        throw std::runtime_error(std::string("no control ") + name);
    return *found;
}

void press(QWidget& dialog, const char* button) {
    child<QPushButton>(dialog, button).click();
}

void type(QWidget& dialog, const char* field, const QString& text) {
    QLineEdit& line = child<QLineEdit>(dialog, field);
    line.clear();
    QTest::keyClicks(&line, text);
}

void pick(QWidget& dialog, const char* list, const QString& entry) {
    QComboBox& combo = child<QComboBox>(dialog, list);
    const int index = combo.findText(entry);
    if (index < 0)
        throw std::runtime_error(std::string(list) + " offers no " + entry.toStdString());
    combo.setCurrentIndex(index);
}

// Runs `act` on the dialog T that `command` opens; true when the dialog came up and `act`
// closed it (a dialog still open is left with its cancel button and counts as a failure).
template <class T>
bool throughDialog(WindowRig& rig, const char* command, std::function<void(T&)> act) {
    bool closed = false;
    bool seen = false;
    whenModal<T>(
        [&](T& dialog) {
            try {
                act(dialog);
            } catch (const std::exception& error) {
                ADD_FAILURE() << error.what();
            }
            closed = !dialog.isVisible();
            if (!closed)
                press(dialog, "cmdCancel");
        },
        &seen);
    rig.window->action(command)->trigger();
    EXPECT_TRUE(seen) << command << " opened no dialog";
    EXPECT_TRUE(closed) << command << ": " << (rig.messages().empty() ? "" : rig.messages().back());
    return seen && closed;
}

void newConfiguration(WindowRig& rig, const char* kind) {
    answerKindDialog(std::string(kind));
    rig.window->action("new")->trigger();
}

void addUnit(WindowRig& rig, std::function<void(frmPLC&)> fill) {
    rig.clickNode("");
    throughDialog<frmPLC>(rig, "plc", [&](frmPLC& dialog) {
        fill(dialog);
        press(dialog, "cmdOk");
    });
}

void addBranch(WindowRig& rig, const std::string& parentKey, const QString& name) {
    rig.clickNode(parentKey);
    throughDialog<frmBranch>(rig, "branch", [&](frmBranch& dialog) {
        type(dialog, "txtBranchName", name);
        press(dialog, "cmdOk");
    });
}

// One item as typed into the item dialog, and the value the client must read for it: the
// text of the probe's "value" field.
struct ItemEntry {
    QString name;
    QString modbusType;
    QString dataType;
    QString address;
    QString bit;      // empty: the bit number does not apply
    QString elements; // empty: the number of elements does not apply
    std::string expected;
};

void fillItem(frmItems& dialog, const ItemEntry& item) {
    type(dialog, "txtItemName", item.name);
    type(dialog, "txtComment", "about " + item.name);
    pick(dialog, "cmbModbusType", item.modbusType);
    pick(dialog, "cmbDataType", item.dataType);
    type(dialog, "txtAddress", item.address);
    if (!item.bit.isEmpty())
        pick(dialog, "cmbBit", item.bit);
    if (!item.elements.isEmpty())
        type(dialog, "txtElements", item.elements);
    pick(dialog, "cmbAccessRight", "READ");
}

// Adds the items below `parentKey` in one visit of the item dialog: "Add and Increment" for
// all but the last, "Add and Exit" for the last.
void addItems(WindowRig& rig, const std::string& parentKey, const std::vector<ItemEntry>& items) {
    rig.clickNode(parentKey);
    throughDialog<frmItems>(rig, "item", [&](frmItems& dialog) {
        for (size_t at = 0; at < items.size(); ++at) {
            fillItem(dialog, items[at]);
            press(dialog, at + 1 < items.size() ? "cmdAdd" : "cmdOk");
        }
    });
}

// "Add Group...." with `count` items from `first` on, then "Exit"; the keys of the items the
// group added, in tree order.
std::vector<std::string> addGroup(WindowRig& rig, const std::string& parentKey,
                                  const ItemEntry& first, int count) {
    const size_t before = rig.node(parentKey).children.size();
    rig.clickNode(parentKey);
    throughDialog<frmItems>(rig, "item", [&](frmItems& dialog) {
        fillItem(dialog, first);
        press(dialog, "cmdGroup");
        type(dialog, "txtNumbItems", QString::number(count));
        press(dialog, "cmdOkNumber");
        press(dialog, "cmdCancel");
    });
    std::vector<std::string> keys;
    const auto& children = rig.node(parentKey).children;
    for (size_t at = before; at < children.size(); ++at)
        keys.push_back(children[at]->key);
    return keys;
}

// Names pasted from a clipboard column: the group's items, alone in their branch, get the names
// of a column copied from a spreadsheet through Paste Item names and the replace grid. Returns
// the keys of the group's items after the renaming, in the same order.
std::vector<std::string> renameFromClipboardColumn(WindowRig& rig, const std::string& branchKey,
                                                   const std::string& prefix,
                                                   const std::vector<std::string>& groupKeys) {
    std::vector<std::string> column;
    for (size_t n = 1; n <= groupKeys.size(); ++n)
        column.push_back(prefix + (n < 10 ? "0" : "") + std::to_string(n));
    // The grid shows "current <--- new" per item, in the list's order.
    std::map<std::string, std::string> newNameOf;
    for (const QString& row : pasteNamesFromColumn(rig, branchKey, groupKeys, column)) {
        const QStringList sides = row.split(" <--- ");
        if (sides.size() == 2)
            newNameOf[sides[0].toStdString()] = sides[1].toStdString();
    }
    EXPECT_EQ(newNameOf.size(), groupKeys.size()) << "the replace grid did not list the group";
    std::vector<std::string> renamed;
    for (const std::string& key : groupKeys) {
        const std::string name = key.substr(key.rfind('.') + 1);
        const std::string newKey = branchKey + "." + newNameOf[name];
        EXPECT_NE(rig.window->session().state().tree.find(newKey), nullptr) << newKey;
        EXPECT_EQ(rig.window->session().state().tree.find(key), nullptr) << key;
        renamed.push_back(newKey);
    }
    return renamed;
}

// ---- The server and the client --------------------------------------------------------------

// What a node-opcua client reads, after waiting for Good at most 8 s per tag: one JSON line per
// item ID.
std::vector<std::string> readThroughClient(const std::string& endpoint,
                                           const std::vector<std::string>& itemIds,
                                           const std::string& home) {
    ScopedEnv quietHome("HOME", home.c_str());
    std::vector<std::string> arguments{PROBE_SCRIPT, endpoint};
    for (const std::string& id : itemIds)
        arguments.push_back("wait-good:" + id + ":8000");
    ChildProcess node("/usr/bin/node", arguments);
    std::vector<std::string> lines;
    while (auto line = node.readLine(30s)) {
        if (!line->empty() && (*line)[0] == '{')
            lines.push_back(*line);
    }
    node.waitForExit(5s);
    return lines;
}

// The text after "value": up to the closing brace of the line.
std::string valueText(const std::string& line) {
    const auto at = line.find("\"value\":");
    if (at == std::string::npos || line.size() < at + 9)
        return {};
    return line.substr(at + 8, line.size() - at - 9);
}

// Every tag Good with its value; numbers with a fraction compared to six digits.
void expectServed(const std::vector<std::string>& lines, const std::vector<std::string>& ids,
                  const std::vector<std::string>& expected, const std::string& serverErrors) {
    ASSERT_EQ(lines.size(), ids.size()) << serverErrors;
    for (size_t at = 0; at < ids.size(); ++at) {
        EXPECT_NE(lines[at].find("\"status\":\"Good\""), std::string::npos) << lines[at];
        const std::string got = valueText(lines[at]);
        if (expected[at].find('.') != std::string::npos && expected[at][0] != '"') {
            EXPECT_NEAR(std::atof(got.c_str()), std::atof(expected[at].c_str()), 1e-5) << ids[at];
        } else {
            EXPECT_EQ(got, expected[at]) << ids[at];
        }
    }
}

// The float whose bits are 0x41484148, whichever word comes first.
std::string repeatedWordFloat() {
    const uint32_t bits = 0x41484148u;
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return std::to_string(static_cast<double>(value));
}

// Item IDs and the values expected for them.
struct Expectations {
    std::vector<std::string> ids;
    std::vector<std::string> values;
    void add(const std::string& parentKey, const std::vector<ItemEntry>& items) {
        for (const ItemEntry& item : items) {
            ids.push_back(parentKey + "." + item.name.toStdString());
            values.push_back(item.expected);
        }
    }
    void addGroup(const std::vector<std::string>& groupIds);
};

// The simulator serving `ports` ("1502,0"); none when it cannot listen there.
std::unique_ptr<SimProcess> startSimulator(const std::string& ports,
                                           std::vector<std::string> values) {
    std::vector<std::string> arguments{"--tcp", "127.0.0.1:" + ports, "--unit", "1", "--unit", "2"};
    arguments.insert(arguments.end(), values.begin(), values.end());
    try {
        return std::make_unique<SimProcess>(MODBUS_SIM_PATH, arguments);
    } catch (const std::runtime_error&) {
        return nullptr;
    }
}

// The value of the n-th register of a group, as the simulator is told to hold it.
std::string groupValue(size_t n) {
    return std::to_string(10 * n + 1);
}

// A group's items, renamed or not, with their registers' values.
void Expectations::addGroup(const std::vector<std::string>& groupIds) {
    for (size_t n = 0; n < groupIds.size(); ++n) {
        ids.push_back(groupIds[n]);
        values.push_back(groupValue(n));
    }
}

// The simulator's settings for a group's registers from `first` on ("2:hr:" for unit 2).
std::vector<std::string> groupValues(const std::string& table, int first) {
    std::vector<std::string> values;
    for (int n = 0; n < kGroupSize; ++n) {
        values.push_back("--set");
        values.push_back(table + std::to_string(first + n) + "=" + groupValue(n));
    }
    return values;
}

// Saves the configuration under `path` and checks that it was written, without a message, and
// registered as the server's configuration file.
void saveAndRegister(WindowRig& rig, const std::string& path, const char* serverName) {
    rig.saveAs(path);
    ASSERT_TRUE(std::filesystem::exists(path)) << ::testing::PrintToString(rig.messages());
    EXPECT_EQ(rig.registeredPath(serverName), path);
    EXPECT_TRUE(rig.messages().empty()) << rig.messages().front();
}

// Runs the server headless, with nothing but the registry Quillmar wrote to to find its file,
// and checks what a client reads.
void expectServedBy(const char* serverPath, const Expectations& expected, const std::string& home) {
    ScopedEnv headless("VORN_HEADLESS", "1");
    ChildProcess server(serverPath, {});
    const std::string endpoint = opcUaEndpointOf(server);
    ASSERT_FALSE(endpoint.empty()) << server.errorOutput();
    expectServed(readThroughClient(endpoint, expected.ids, home), expected.ids, expected.values,
                 server.errorOutput());
    EXPECT_EQ(server.terminate(10s), 0) << server.errorOutput();
}

} // namespace

TEST(QuillmarWholeConfiguration, ATarnvaleConfigurationMadeInTheWindowIsServed) {
    std::vector<std::string> values{
        "--set", "1:hr:0=1234",        "--set", "1:hr:2..3=0x0101",   "--set", "1:hr:4=8",
        "--set", "1:hr:10=\"ABCDEF\"", "--set", "1:hr:20=5",          "--set", "1:hr:21=-6",
        "--set", "1:hr:22=7",          "--set", "1:hr:30..31=0x4148", "--set", "1:coil:0=1",
        "--set", "1:coil:8=1",         "--set", "1:coil:10=1",        "--set", "1:coil:11=1",
        "--set", "1:di:5=1",           "--set", "1:ir:0=-5"};
    for (const std::string& group : groupValues("2:hr:", 100))
        values.push_back(group);
    std::unique_ptr<SimProcess> device =
        startSimulator(std::string(kPreferredTcpPort) + ",0", values);
    if (!device)
        device = startSimulator("0,0", values);
    ASSERT_NE(device, nullptr) << "the device simulator did not start";
    const std::vector<int> ports = device->ports();
    ASSERT_EQ(ports.size(), 2u);

    WindowRig rig;
    Registry(rig.registryPath())
        .writeString("SOFTWARE\\VornAutomation\\Tarnvale", "OpcUaPort", "0");
    newConfiguration(rig, vorn::format::kTarnvaleName); // with the four standard Modbus types
    addUnit(rig, [&](frmPLC& dialog) {
        type(dialog, "txtName", "Press");
        type(dialog, "txtAddress", "127.0.0.1");
        type(dialog, "txtTcpPort", QString::number(ports[0]));
        type(dialog, "txtUI", "1");
    });
    addUnit(rig, [&](frmPLC& dialog) {
        type(dialog, "txtName", "Mixer");
        type(dialog, "txtAddress", "127.0.0.1");
        type(dialog, "txtTcpPort", QString::number(ports[1]));
        type(dialog, "txtUI", "2");
    });
    addBranch(rig, "Press", "Line");
    addBranch(rig, "Mixer", "Dosing");

    const std::vector<ItemEntry> line{
        {"Level", "holding register", "signed 16 bit", "0", "", "", "1234"},
        {"Total", "holding register", "unsigned 32 bit", "2", "", "", "16843009"},
        {"Ready", "holding register", "boolean", "4", "3", "", "true"},
        {"Recipe", "holding register", "string", "10", "", "6", "\"ABCDEF\""},
        {"Speeds", "holding register", "signed 16 bit array", "20", "", "3",
         "{\"0\":5,\"1\":-6,\"2\":7}"},
        {"Flow", "holding register", "32 bit float", "30", "", "", repeatedWordFloat()},
    };
    const std::vector<ItemEntry> direct{
        {"Motor", "coil", "boolean", "0", "", "", "true"},
        {"Valves", "coil", "boolean array", "8", "", "4", "[true,false,true,true]"},
        {"Door", "input status", "boolean", "5", "", "", "true"},
        {"Pressure", "input register", "signed 16 bit", "0", "", "", "-5"},
    };
    addItems(rig, "Press.Line", line);
    addItems(rig, "Press", direct);
    std::vector<std::string> group =
        addGroup(rig, "Mixer.Dosing",
                 {"Dose", "holding register", "signed 16 bit", "100", "", "", ""}, kGroupSize);
    ASSERT_EQ(group.size(), static_cast<size_t>(kGroupSize));
    group = renameFromClipboardColumn(rig, "Mixer.Dosing", "Dosage_", group);

    ASSERT_NO_FATAL_FAILURE(
        saveAndRegister(rig, rig.dir.file("Plant.xml"), vorn::format::kTarnvaleName));

    Expectations expected;
    expected.add("Press.Line", line);
    expected.add("Press", direct);
    expected.addGroup(group);
    expectServedBy(TARNVALE_PATH, expected, rig.dir.path());
}

TEST(QuillmarWholeConfiguration, ARennickConfigurationMadeInTheWindowIsServed) {
    WindowRig rig;
    std::filesystem::create_directories(rig.dir.file("line"));
    PtyPair serialLine(rig.dir.file("line"));
    std::vector<std::string> arguments{"--rtu",    serialLine.endB(),
                                       "--baud",   "9600",
                                       "--format", "8N1",
                                       "--unit",   "1",
                                       "--set",    "hr:0=321",
                                       "--set",    "hr:1=4",
                                       "--set",    "hr:10=\"MOTOR\"",
                                       "--set",    "hr:20=11",
                                       "--set",    "hr:21=12",
                                       "--set",    "coil:3=1",
                                       "--set",    "ir:7=-42"};
    for (const std::string& group : groupValues("hr:", 200))
        arguments.push_back(group);
    SimProcess device(MODBUS_SIM_PATH, arguments);
    Registry registry(rig.registryPath());
    registry.writeString("SOFTWARE\\VornAutomation\\Rennick\\Ports", "COM1", serialLine.endA());
    registry.writeString("SOFTWARE\\VornAutomation\\Rennick", "OpcUaPort", "0");

    newConfiguration(rig, vorn::format::kRennickName); // with the four standard Modbus types
    addUnit(rig, [&](frmPLC& dialog) {
        type(dialog, "txtName", "Drive");
        type(dialog, "txtPort", "COM1");
        type(dialog, "txtUI", "1");
    });
    addBranch(rig, "Drive", "Motor");
    addBranch(rig, "Drive", "Setpoints");
    const std::vector<ItemEntry> motor{
        {"Speed", "holding register", "signed 16 bit", "0", "", "", "321"},
        {"Fault", "holding register", "boolean", "1", "2", "", "true"},
        {"Label", "holding register", "string", "10", "", "5", "\"MOTOR\""},
        {"Limits", "holding register", "signed 16 bit array", "20", "", "2", "{\"0\":11,\"1\":12}"},
        {"Run", "coil", "boolean", "3", "", "", "true"},
        {"Torque", "input register", "signed 16 bit", "7", "", "", "-42"},
    };
    addItems(rig, "Drive.Motor", motor);
    std::vector<std::string> group =
        addGroup(rig, "Drive.Setpoints",
                 {"Setpoint", "holding register", "signed 16 bit", "200", "", "", ""}, kGroupSize);
    ASSERT_EQ(group.size(), static_cast<size_t>(kGroupSize));
    group = renameFromClipboardColumn(rig, "Drive.Setpoints", "Target_", group);

    ASSERT_NO_FATAL_FAILURE(
        saveAndRegister(rig, rig.dir.file("Drives.xml"), vorn::format::kRennickName));

    Expectations expected;
    expected.add("Drive.Motor", motor);
    expected.addGroup(group);
    expectServedBy(RENNICK_PATH, expected, rig.dir.path());
}

// ---- Byte orders, scaling and 64-bit items --------------------------------------------------

namespace {

void typeScaling(frmItems& dialog, const QString& rawLow, const QString& rawHigh,
                 const QString& euLow, const QString& euHigh, const QString& units) {
    type(dialog, "txtRawLow", rawLow);
    type(dialog, "txtRawHigh", rawHigh);
    type(dialog, "txtEuLow", euLow);
    type(dialog, "txtEuHigh", euHigh);
    type(dialog, "txtUnits", units);
}

std::string fileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

} // namespace

// A meter whose values come low word first (the unit's default), one value that comes high word
// first (the item's own order), a drive-style scaled value and a 64-bit counter added with "Add
// and Increment", which then proposes the address four registers on.
TEST(QuillmarWholeConfiguration, AMetersOrdersScalingAndSixtyFourBitItemsAreServed) {
    // 12.5 low word first; 65538 high word first; 8192 of 16384 (50 %); 2^53 + 1 in four
    // registers, the least significant first.
    const std::vector<std::string> values{"--set", "1:hr:0=0",      "--set", "1:hr:1=0x4148",
                                          "--set", "1:hr:2=1",      "--set", "1:hr:3=2",
                                          "--set", "1:hr:10=8192",  "--set", "1:hr:20=1",
                                          "--set", "1:hr:21..22=0", "--set", "1:hr:23=0x20"};
    std::unique_ptr<SimProcess> device = startSimulator("0", values);
    ASSERT_NE(device, nullptr) << "the device simulator did not start";

    WindowRig rig;
    Registry(rig.registryPath())
        .writeString("SOFTWARE\\VornAutomation\\Tarnvale", "OpcUaPort", "0");
    newConfiguration(rig, vorn::format::kTarnvaleName); // with the four standard Modbus types
    addUnit(rig, [&](frmPLC& dialog) {
        type(dialog, "txtName", "Meter");
        type(dialog, "txtAddress", "127.0.0.1");
        type(dialog, "txtTcpPort", QString::number(device->ports().at(0)));
        type(dialog, "txtUI", "1");
        pick(dialog, "cmbByteOrder", "CDAB - low word first");
    });

    QString proposedAfterCounter;
    rig.clickNode("Meter");
    throughDialog<frmItems>(rig, "item", [&](frmItems& dialog) {
        fillItem(dialog, {"Power", "holding register", "32 bit float", "0", "", "", ""});
        press(dialog, "cmdAdd");
        fillItem(dialog, {"Status", "holding register", "unsigned 32 bit", "2", "", "", ""});
        pick(dialog, "cmbByteOrder", "ABCD - high word first");
        press(dialog, "cmdAdd");
        fillItem(dialog, {"Speed", "holding register", "unsigned 16 bit", "10", "", "", ""});
        pick(dialog, "cmbByteOrder", "Device default");
        typeScaling(dialog, "0", "16384", "0", "100", "%");
        press(dialog, "cmdAdd");
        fillItem(dialog, {"Energy", "holding register", "unsigned 64 bit", "20", "", "", ""});
        typeScaling(dialog, "", "", "", "", "");
        press(dialog, "cmdAdd");
        proposedAfterCounter = child<QLineEdit>(dialog, "txtAddress").text();
        press(dialog, "cmdCancel");
    });
    EXPECT_EQ(proposedAfterCounter, "24") << "a 64-bit value takes four registers";

    const std::string path = rig.dir.file("Meter.xml");
    ASSERT_NO_FATAL_FAILURE(saveAndRegister(rig, path, vorn::format::kTarnvaleName));
    const std::string saved = fileText(path);
    for (const char* line :
         {"<PLC name=\"Meter\" address = \"127.0.0.1\" id=\"1\" timeout=\"2000\" port=\"",
          "\t\t\t\t\t<byteorder>ABCD</byteorder>\r\n", "\t\t\t\t\t<rawhigh>16384</rawhigh>\r\n",
          "\t\t\t\t\t<units>%</units>\r\n", "<datatype>HREGISTER VT_UI8</datatype>"})
        EXPECT_NE(saved.find(line), std::string::npos) << line << " in\n" << saved;
    EXPECT_NE(saved.find("\" byteorder=\"CDAB\">\r\n"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("<byteorder>CDAB"), std::string::npos) << "the default is not written";

    Expectations expected;
    expected.ids = {"Meter.Power", "Meter.Status", "Meter.Speed", "Meter.Energy"};
    // node-opcua shows a UInt64 as its high and low 32 bits.
    expected.values = {"12.5", "65538", "50", "[2097152,1]"};
    expectServedBy(TARNVALE_PATH, expected, rig.dir.path());
}

// ---- Tag lists as CSV -----------------------------------------------------------------------

// A unit with an item of every kind (the register types of 8 to 64 bits, single and in arrays, a
// bit in a register, a string, coils, an input status and an input register, an item with its
// own byte order and scaling) exported with "Export Tags to CSV...", the file imported into a
// second unit on the same device with "Import Tags from CSV...", saved: the server shows the
// copies with the originals' values.
TEST(QuillmarWholeConfiguration, AUnitExportedToCsvAndImportedIntoAnotherIsServedAlike) {
    // Units 1 and 2 of the simulator hold the same values: the original unit reads unit 1, the
    // imported one unit 2.
    std::vector<std::string> values;
    for (const char* unit : {"1:", "2:"}) {
        for (const char* value :
             {"hr:0=1234", "hr:2..3=0x0101", "hr:4=8", "hr:10=\"ABCDEF\"", "hr:20=5", "hr:21=-6",
              "hr:22=7", "hr:30..31=0x4148", "hr:40..43=0x0102", "hr:50..51=0x4142",
              "hr:60..67=0x4010", "hr:70=0x00FC", "hr:80=0x3412", "coil:0=1", "coil:8=1",
              "coil:10=1", "di:5=1", "ir:0=-5"}) {
            values.push_back("--set");
            values.push_back(unit + std::string(value));
        }
    }
    std::unique_ptr<SimProcess> device = startSimulator("0", values);
    ASSERT_NE(device, nullptr) << "the device simulator did not start";
    const QString port = QString::number(device->ports().at(0));

    WindowRig rig;
    Registry(rig.registryPath())
        .writeString("SOFTWARE\\VornAutomation\\Tarnvale", "OpcUaPort", "0");
    newConfiguration(rig, vorn::format::kTarnvaleName); // with the four standard Modbus types
    for (const char* unit : {"Press", "Copy"}) {
        addUnit(rig, [&](frmPLC& dialog) {
            type(dialog, "txtName", unit);
            type(dialog, "txtAddress", "127.0.0.1");
            type(dialog, "txtTcpPort", port);
            type(dialog, "txtUI", unit == std::string("Press") ? "1" : "2");
        });
    }
    addBranch(rig, "Press", "Line");
    const std::vector<ItemEntry> direct{
        {"Level", "holding register", "signed 16 bit", "0", "", "", ""},
        {"Total", "holding register", "unsigned 32 bit", "2", "", "", ""},
        {"Ready", "holding register", "boolean", "4", "3", "", ""},
        {"Recipe", "holding register", "string", "10", "", "6", ""},
        {"Speeds", "holding register", "signed 16 bit array", "20", "", "3", ""},
        {"Flow", "holding register", "32 bit float", "30", "", "", ""},
        {"Big", "holding register", "signed 64 bit", "40", "", "", ""},
        {"Motor", "coil", "boolean", "0", "", "", ""},
        {"Valves", "coil", "boolean array", "8", "", "4", ""},
        {"Door", "input status", "boolean", "5", "", "", ""},
        {"Pressure", "input register", "signed 16 bit", "0", "", "", ""},
    };
    const std::vector<ItemEntry> line{
        {"Bytes", "holding register", "unsigned 8 bit array", "50", "", "4", ""},
        {"Doubles", "holding register", "64 bit float array", "60", "", "2", ""},
        {"Bits", "holding register", "boolean array", "70", "2", "5", ""},
    };
    addItems(rig, "Press", direct);
    addItems(rig, "Press.Line", line);
    rig.clickNode("Press.Line");
    throughDialog<frmItems>(rig, "item", [&](frmItems& dialog) {
        fillItem(dialog, {"Scaled", "holding register", "unsigned 16 bit", "80", "", "", ""});
        pick(dialog, "cmbByteOrder", "BADC - bytes swapped in each register");
        typeScaling(dialog, "0", "27648", "-10", "90", "degC");
        press(dialog, "cmdOk");
    });

    const std::string csv = rig.dir.file("Press.csv");
    rig.clickNode("Press");
    rig.dialogs.queue(csv);
    rig.window->action("mnuExportCsv")->trigger();
    const std::string exported = fileText(csv);
    for (const char* row :
         {"\xEF\xBB\xBFPath,Name,Address,ModbusType,DataType,Bit,Elements,Access,Comment,"
          "ByteOrder,RawLow,RawHigh,EuLow,EuHigh,Units\r\n",
          "\r\n,Ready,4,holding register,boolean,3,,READ,about Ready,,,,,,\r\n",
          "\r\n,Valves,8,coil,boolean array,,4,READ,about Valves,,,,,,\r\n",
          "\r\nLine,Scaled,80,holding register,unsigned 16 bit,,,READ,about Scaled,BADC,0,27648,"
          "-10,90,degC\r\n"})
        EXPECT_NE(exported.find(row), std::string::npos) << row << " in\n" << exported;

    bool previewed = false;
    whenModal<frmCsvPreview>([&](frmCsvPreview& preview) {
        previewed = preview.summary()->text().startsWith("15 rows will add items, 0 will");
        press(preview, "cmdImport");
    });
    rig.clickNode("Copy");
    rig.dialogs.queue(csv);
    rig.window->action("mnuImportCsv")->trigger();
    EXPECT_TRUE(previewed) << ::testing::PrintToString(rig.messages());

    ASSERT_NO_FATAL_FAILURE(
        saveAndRegister(rig, rig.dir.file("Plant.xml"), vorn::format::kTarnvaleName));
    std::vector<std::string> ids;
    for (const char* unit : {"Press", "Copy"}) {
        for (const ItemEntry& item : direct)
            ids.push_back(std::string(unit) + "." + item.name.toStdString());
        for (const ItemEntry& item : line)
            ids.push_back(std::string(unit) + ".Line." + item.name.toStdString());
        ids.push_back(std::string(unit) + ".Line.Scaled");
    }
    ScopedEnv headless("VORN_HEADLESS", "1");
    ChildProcess server(TARNVALE_PATH, {});
    const std::string endpoint = opcUaEndpointOf(server);
    ASSERT_FALSE(endpoint.empty()) << server.errorOutput();
    const std::vector<std::string> lines = readThroughClient(endpoint, ids, rig.dir.path());
    ASSERT_EQ(lines.size(), ids.size()) << server.errorOutput();
    const size_t half = ids.size() / 2;
    for (size_t at = 0; at < half; ++at) {
        EXPECT_NE(lines[at].find("\"status\":\"Good\""), std::string::npos) << lines[at];
        EXPECT_EQ(valueText(lines[half + at]), valueText(lines[at])) << ids[half + at];
        EXPECT_NE(lines[half + at].find("\"status\":\"Good\""), std::string::npos)
            << lines[half + at];
    }
    // The originals are the device's values, not defaults both sides share.
    EXPECT_EQ(valueText(lines[0]), "1234");
    EXPECT_EQ(valueText(lines[3]), "\"ABCDEF\"");
    EXPECT_NEAR(std::atof(valueText(lines[half - 1]).c_str()), -10 + 100.0 * 0x1234 / 27648, 1e-6);
    EXPECT_EQ(server.terminate(10s), 0) << server.errorOutput();
}

TEST(QuillmarWholeConfiguration, AUnitsAdvancedSettingsAreSavedAndServed) {
    WindowRig rig;
    Registry(rig.registryPath())
        .writeString("SOFTWARE\\VornAutomation\\Tarnvale", "OpcUaPort", "0");
    const std::string log = rig.dir.file("device.log");
    std::unique_ptr<SimProcess> device =
        startSimulator("0", {"--set", "1:hr:0..99=7", "--log", log});
    ASSERT_NE(device, nullptr);

    newConfiguration(rig, vorn::format::kTarnvaleName); // with the four standard Modbus types
    bool refused = false;
    addUnit(rig, [&](frmPLC& dialog) {
        type(dialog, "txtName", "Meter");
        type(dialog, "txtAddress", "127.0.0.1");
        type(dialog, "txtTcpPort", QString::number(device->port()));
        type(dialog, "txtUI", "1");
        whenModal<frmAdvanced>([&](frmAdvanced& advanced) {
            type(advanced, "maxregisters", "124"); // one more than the servers take
            press(advanced, "cmdOk");
            refused = advanced.isVisible();
            type(advanced, "maxregisters", "32");
            type(advanced, "reducedafter", "3");
            press(advanced, "cmdOk");
        });
        press(dialog, "cmdAdvanced");
    });
    EXPECT_TRUE(refused);
    EXPECT_EQ(rig.messages(),
              std::vector<std::string>{"Registers per read must be a whole number from 1 to 123."})
        << "the servers' range and wording";

    std::string expected = "{";
    for (int n = 0; n < 100; ++n)
        expected += (n ? ",\"" : "\"") + std::to_string(n) + "\":7";
    const std::vector<ItemEntry> items{
        {"Energy", "holding register", "signed 16 bit array", "0", "", "100", expected + "}"}};
    addItems(rig, "Meter", items);
    const std::string saved = rig.dir.file("Plant.xml");
    rig.saveAs(saved);
    ASSERT_TRUE(std::filesystem::exists(saved));
    EXPECT_EQ(rig.messages().size(), 1u) << "no message but the refusal above";
    EXPECT_NE(vorn::editor::test::readFile(saved).find(" maxregisters=\"32\" reducedafter=\"3\">"),
              std::string::npos)
        << "only the settings off their default are written";

    Expectations served;
    served.add("Meter", items);
    expectServedBy(TARNVALE_PATH, served, rig.dir.path());
    std::set<std::pair<int, int>> reads;
    for (const vorn::test::LoggedRequest& request : vorn::test::readRequestLog(log))
        if (request.function == 3)
            reads.insert({request.start, request.count});
    EXPECT_EQ(reads, (std::set<std::pair<int, int>>{{0, 32}, {32, 32}, {64, 32}, {96, 4}}));
}
