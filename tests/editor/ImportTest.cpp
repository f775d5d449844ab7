#include "TestConfigs.h"
#include "editor/ConfigExport.h"
#include "editor/ConfigImport.h"
#include "editor/StructureEdits.h"
#include "fileformat/ConfigFormat.h"
#include "platform/MessageBox.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace vorn;
using namespace vorn::editor;
using namespace vorn::editor::test;
namespace fs = std::filesystem;

namespace {

class ImportTest : public ::testing::Test {
protected:
    ImportTest() : scope_(boxes_) {
        std::string pattern = (fs::temp_directory_path() / "editor-import-XXXXXX").string();
        dir_ = ::mkdtemp(pattern.data());
    }
    ~ImportTest() override { fs::remove_all(dir_); }

    std::string write(const std::string& text, const std::string& name = "cfg.xml") {
        std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    bool import(const std::string& path) {
        state_.startConfiguration(path);
        return ImportXML(state_, path);
    }
    bool importText(const std::string& text) { return import(write(text)); }
    std::vector<std::string> messages() const {
        std::vector<std::string> texts;
        for (const auto& shown : boxes_.shown())
            texts.push_back(shown.text);
        return texts;
    }
    // Every object has the node of its key, of its kind, and vice versa.
    void expectEveryObjectHasItsNode() const {
        size_t objects = 0;
        auto check = [&](const auto& collection, const char* tag) {
            for (const auto& [key, object] : collection) {
                const TreeNode* node = state_.tree.find(key);
                ASSERT_NE(node, nullptr) << key;
                EXPECT_EQ(node->tag, tag) << key;
                ++objects;
            }
        };
        check(state_.devices, kTagPlc);
        check(state_.branches, kTagBranch);
        check(state_.items, kTagItem);
        check(state_.modbusTypes, kTagDatatype);
        EXPECT_EQ(state_.tree.size(), objects + 2); // root and Modbus types folder
    }

    ScriptedMessageBox boxes_;
    ScopedMessageBoxes scope_;
    fs::path dir_;
    EditorState state_;
};

std::string tarnvale(const std::string& tags,
                     const std::string& plcAttributes = "name=\"D\" address=\"1.2.3.4\" id=\"1\" "
                                                        "timeout=\"100\"") {
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<VornModBusTcpIpCfg><MODBUS/>"
           "<OPC_DA><PLC " +
           plcAttributes + "><tags>" + tags + "</tags></PLC></OPC_DA></VornModBusTcpIpCfg>";
}

std::string tag(const std::string& name, const std::string& address = "1",
                const std::string& extra = "") {
    return "<tag><name>" + name + "</name><comment/><address>" + address +
           "</address><datatype>HREGISTER VT_I2</datatype><accessrights>READ</accessrights>" +
           extra + "</tag>";
}

// Tree structure as lines "parent-key > key text tag", in tree order.
std::vector<std::string> treeLines(const NodeTree& tree) {
    std::vector<std::string> lines;
    std::vector<const TreeNode*> pending{tree.root()};
    while (!pending.empty()) {
        const TreeNode* node = pending.back();
        pending.pop_back();
        if (node != tree.root())
            lines.push_back(node->parent->key + " > " + node->key + " " + node->text + " " +
                            node->tag);
        pending.insert(pending.end(), node->children.rbegin(), node->children.rend());
    }
    return lines;
}

void expectSameModel(const EditorState& a, const EditorState& b) {
    EXPECT_EQ(a.serverKind, b.serverKind);
    EXPECT_EQ(treeLines(a.tree), treeLines(b.tree));
    ASSERT_EQ(a.modbusTypes.size(), b.modbusTypes.size());
    for (const auto& [key, type] : a.modbusTypes) {
        auto other = b.modbusTypes.find(key);
        ASSERT_NE(other, nullptr) << key;
        EXPECT_EQ(other->getReadCode(), type->getReadCode());
        EXPECT_EQ(other->getWriteCode(), type->getWriteCode());
        EXPECT_EQ(other->getSingleWrCode(), type->getSingleWrCode());
    }
    ASSERT_EQ(a.devices.size(), b.devices.size());
    auto other = b.devices.begin();
    for (const auto& [key, d] : a.devices) {
        const clsPLC& o = *(other++)->second;
        EXPECT_EQ(o.sKey(), key);
        EXPECT_EQ(o.getName(), d->getName());
        EXPECT_EQ(o.getAddress(), d->getAddress());
        EXPECT_EQ(o.getPort(), d->getPort());
        EXPECT_EQ(o.getUI(), d->getUI());
        EXPECT_EQ(o.getCom(), d->getCom());
        EXPECT_EQ(o.getBaud(), d->getBaud());
        EXPECT_EQ(o.getParity(), d->getParity());
        EXPECT_EQ(o.getStopBits(), d->getStopBits());
        EXPECT_EQ(o.getDataBits(), d->getDataBits());
        EXPECT_EQ(o.getFlowCtl(), d->getFlowCtl());
        EXPECT_EQ(o.getTimeout(), d->getTimeout());
        EXPECT_EQ(o.getSilent(), d->getSilent());
    }
    ASSERT_EQ(a.branches.size(), b.branches.size());
    for (const auto& [key, branch] : a.branches) {
        auto o = b.branches.find(key);
        ASSERT_NE(o, nullptr) << key;
        EXPECT_EQ(o->sName, branch->sName);
    }
    ASSERT_EQ(a.items.size(), b.items.size());
    for (const auto& [key, it] : a.items) {
        auto o = b.items.find(key);
        ASSERT_NE(o, nullptr) << key;
        EXPECT_EQ(o->sKey, it->sKey);
        EXPECT_EQ(o->sName, it->sName);
        EXPECT_EQ(o->sComment, it->sComment);
        EXPECT_EQ(o->sDataType, it->sDataType) << key;
        EXPECT_EQ(o->sAccessRight, it->sAccessRight);
        EXPECT_EQ(o->nAddress, it->nAddress);
        EXPECT_EQ(o->nBitNumber, it->nBitNumber) << key;
        EXPECT_EQ(o->nElements, it->nElements) << key;
    }
}

} // namespace

TEST_F(ImportTest, SavedConfigurationsComeBackAsTheSameObjects) {
    for (auto build : {buildTarnvaleRoundTrip, buildRennickRoundTrip}) {
        EditorState original;
        build(original);
        auto extra = std::make_shared<clsItem>(*item("P", "Odd", ":signed 16 bit", 3, "READ", 0, 0,
                                                     "a<b & c \"q\" \xC3\xA9 \xE2\x82\xAC"));
        TreeNode& firstDevice = *original.tree.find(original.devices.begin()->first);
        extra->sKey = firstDevice.key + ".Odd";
        original.items.add(extra->sKey, extra);
        original.tree.add(firstDevice, extra->sKey, "Odd", kTagItem, kTagItem);

        const std::string path = (dir_ / "saved.xml").string();
        ASSERT_TRUE(CreateXML(original, path));
        EditorState reopened;
        reopened.startConfiguration(path);
        ASSERT_TRUE(ImportXML(reopened, path)) << testing::PrintToString(messages());
        expectSameModel(original, reopened);
        // Keys are unchanged by a save and reopen, branch names keep their case.
        EXPECT_NE(reopened.items.find(original.serverKind == format::kTarnvaleName
                                          ? "P1.Pumps.T1"
                                          : "R1.Inputs.T1"),
                  nullptr);
    }
    EXPECT_TRUE(messages().empty());
}

TEST_F(ImportTest, ExampleFilesReadAsTheirObjects) {
    EditorState original;
    buildTarnvaleRoundTrip(original);
    ASSERT_TRUE(import(dataPath("roundtrip_tarnvale.xml")));
    expectSameModel(original, state_);
    EXPECT_EQ(state_.devices.find("P2")->getPort(), 5020);
    EXPECT_EQ(state_.devices.find("P1")->getPort(), 502);
}

TEST_F(ImportTest, NamesAndRootsAreMatchedWithoutRegardToCaseInAnyOrder) {
    ASSERT_TRUE(
        importText("<vornmodbusrtucfg><!-- written by hand --><opc_da><Plc><Name>R</Name><ID>4</ID>"
                   "<Com>COM3</Com><Tags><Pumps><TAG><NAME>Lvl</NAME><Comment>c</Comment>"
                   "<Address> 12.7 </Address><DataType>IREGISTER VT_I2</DataType>"
                   "<AccessRights>READ</AccessRights></TAG></Pumps></Tags></Plc></opc_da>"
                   "<Modbus><DataType name=\"IREGISTER\" readcode=\"4\" writecode=\"0\" "
                   "singlewrcode=\"0\"/></Modbus></vornmodbusrtucfg>"));
    EXPECT_EQ(state_.serverKind, format::kRennickName);
    auto lvl = state_.items.find("R.Pumps.Lvl");
    ASSERT_NE(lvl, nullptr);
    EXPECT_EQ(lvl->nAddress, 13);
    EXPECT_EQ(lvl->sDataType, "input register:signed 16 bit");
    EXPECT_EQ(state_.devices.find("R")->getCom(), "COM3");
    EXPECT_EQ(state_.devices.find("R")->getUI(), 4);
    EXPECT_EQ(state_.modbusTypes.find("input register")->getReadCode(), 4);
    expectEveryObjectHasItsNode();
}

TEST_F(ImportTest, ItemsThreeBranchesDeepAndProgressWrapsEveryHundredItems) {
    std::string items;
    for (int i = 0; i < 250; ++i)
        items += tag("N" + std::to_string(i));
    std::vector<int> progress;
    state_.progressChanged = [&](int percent) { progress.push_back(percent); };
    ASSERT_TRUE(importText(tarnvale("<B1><B2><B3>" + items + "</B3></B2></B1>",
                                    "name=\"Device\" address=\"1.2.3.4\" id=\"1\" "
                                    "timeout=\"100\"")));
    EXPECT_NE(state_.items.find("Device.B1.B2.B3.N0"), nullptr);
    EXPECT_NE(state_.items.find("Device.B1.B2.B3.N249"), nullptr);
    EXPECT_NE(state_.branches.find("Device.B1.B2"), nullptr);
    ASSERT_EQ(progress.size(), 250u);
    EXPECT_EQ(progress[0], 1);
    EXPECT_EQ(progress[98], 99);
    EXPECT_EQ(progress[99], 0);
    EXPECT_EQ(progress[199], 0);
    EXPECT_TRUE(state_.tree.find("Device.B1.B2.B3")->expanded); // made visible
}

TEST_F(ImportTest, HostileFilesEndInTheStandardMessage) {
    struct Case {
        const char* what;
        std::string text;
        std::string message;
    };
    std::string deep;
    for (int i = 0; i < 10000; ++i)
        deep += "<B>";
    for (int i = 0; i < 10000; ++i)
        deep += "</B>";
    const Case cases[] = {
        {"not XML", "this is not XML <",
         " Error n. 321  Invalid file format: " + (dir_ / "cfg.xml").string() + ": "},
        {"empty", "",
         " Error n. 321  Invalid file format: " + (dir_ / "cfg.xml").string() +
             ": No document element found at offset 0 in ImportXML"},
        {"wrong root", "<VornModBusCfg><MODBUS/></VornModBusCfg>",
         "The configuration file is not valid."},
        {"missing readcode",
         "<VornModBusTcpIpCfg><MODBUS><DATATYPE name=\"HREGISTER\" writecode=\"16\" "
         "singlewrcode=\"6\"/></MODBUS></VornModBusTcpIpCfg>",
         " Error n. 91  Missing value: attribute \"readcode\" of DATATYPE in ImportXML"},
        {"unknown kind",
         "<VornModBusTcpIpCfg><MODBUS><DATATYPE name=\"FOO\" readcode=\"1\" writecode=\"0\" "
         "singlewrcode=\"0\"/></MODBUS></VornModBusTcpIpCfg>",
         " Error n. 380  Invalid property value: DATATYPE name \"FOO\" is not a register kind "
         "in ImportXML"},
        {"missing address", tarnvale("", "name=\"D\" id=\"1\" timeout=\"100\""),
         " Error n. 91  Missing value: attribute \"address\" of PLC D in ImportXML"},
        {"missing accessrights",
         tarnvale("<tag><name>X</name><comment/><address>1</address><datatype>COIL</datatype>"
                  "</tag>"),
         " Error n. 91  Missing value: element \"accessrights\" of tag D.X in ImportXML"},
        {"timeout not a number", tarnvale("", "name=\"D\" address=\"a\" id=\"1\" timeout=\"abc\""),
         " Error n. 13  Type mismatch: timeout of PLC D \"abc\" is not a number in ImportXML"},
        {"id too large", tarnvale("", "name=\"D\" address=\"a\" id=\"300\" timeout=\"1\""),
         " Error n. 6  Overflow: id of PLC D \"300\" is outside 0..255 in ImportXML"},
        {"address too large", tarnvale(tag("X", "1e99")),
         " Error n. 6  Overflow: address of tag D.X \"1e99\" is outside -2147483648..2147483647 "
         "in ImportXML"},
        {"elements not a number", tarnvale(tag("X", "1", "<elements>4x</elements>")),
         " Error n. 13  Type mismatch: elements of tag D.X \"4x\" is not a number in ImportXML"},
        {"serial device without name",
         "<VornModBusRTUCfg><OPC_DA><PLC><com>COM1</com></PLC></OPC_DA></VornModBusRTUCfg>",
         " Error n. 91  Missing value: element \"name\" of PLC in ImportXML"},
        {"stop bits not a number",
         "<VornModBusRTUCfg><OPC_DA><PLC><name>R</name><stopbits>x</stopbits></PLC></OPC_DA>"
         "</VornModBusRTUCfg>",
         " Error n. 13  Type mismatch: stopbits of PLC R \"x\" is not a number in ImportXML"},
        {"branch and item with one key", tarnvale("<Pumps/>" + tag("Pumps")),
         " Error n. 35602  Key is not unique in collection: D.Pumps in ImportXML"},
        {"name with a dot", tarnvale(tag("A.B")),
         " Error n. 380  Invalid property value: tag under D name \"A.B\" contains \".\" in "
         "ImportXML"},
    };
    for (const Case& c : cases) {
        boxes_.clear();
        EXPECT_FALSE(importText(c.text)) << c.what;
        auto shown = messages();
        ASSERT_EQ(shown.size(), 1u) << c.what;
        EXPECT_EQ(shown[0].substr(0, c.message.size()), c.message) << c.what;
        if (c.message.rfind(" Error", 0) == 0) {
            EXPECT_NE(shown[0].find(" in ImportXML"), std::string::npos) << c.what;
        }
        expectEveryObjectHasItsNode();
    }

    // 10,000 nested branches: the 64 levels the servers load are read, the rest is left out
    // as the servers leave it out, with a warning naming its line.
    boxes_.clear();
    EXPECT_TRUE(importText(tarnvale(deep)));
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_NE(messages()[0].find(": branch \"B\" under D.B.B."), std::string::npos)
        << messages()[0].substr(0, 300);
    EXPECT_NE(messages()[0].find("as the servers load 64 branch levels"), std::string::npos);
    EXPECT_EQ(state_.branches.size(), 64u);
    expectEveryObjectHasItsNode();
}

std::string rennick(const std::string& com) {
    return "<VornModBusRTUCfg><OPC_DA><PLC><name>R</name><com>" + com +
           "</com></PLC></OPC_DA></VornModBusRTUCfg>";
}

// The servers skip a unit whose address or port name they cannot read; the reader refuses such
// a file whole, as it does port 0. What they read otherwise than it looks opens with a warning.
TEST_F(ImportTest, ConnectionsTheServersCannotOpenAreRefused) {
    for (const std::string address : {"10.0.0.7x", "10.0.0.256", "plc.local", ""}) {
        boxes_.clear();
        EXPECT_FALSE(importText(
            tarnvale("", "name=\"D\" address=\"" + address + "\" id=\"1\" timeout=\"100\"")))
            << address;
        ASSERT_EQ(messages().size(), 1u) << address;
        EXPECT_EQ(messages()[0], " Error n. 380  Invalid property value: address of PLC D \"" +
                                     address + "\" is not an IPv4 address in ImportXML");
        EXPECT_TRUE(state_.devices.empty()) << address;
        expectEveryObjectHasItsNode();
    }
    for (const std::string com : {"", "COM1234567"}) {
        boxes_.clear();
        EXPECT_FALSE(importText(rennick(com))) << com;
        ASSERT_EQ(messages().size(), 1u) << com;
        EXPECT_EQ(messages()[0], " Error n. 380  Invalid property value: com of PLC R \"" + com +
                                     "\" is no port name of 1 to 9 characters in ImportXML");
        EXPECT_TRUE(state_.devices.empty()) << com;
        expectEveryObjectHasItsNode();
    }
    boxes_.clear();
    EXPECT_TRUE(importText(tarnvale("", "name=\"D\" address=\"10.0.0\" id=\"1\" timeout=\"100\"")));
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_NE(messages()[0].find("\"10.0.0\" is read by the servers as 10.0.0.0"),
              std::string::npos)
        << messages()[0];
    for (const std::string com : {"com1", "COM", "COM0", "COM256", "COM1.5", "COM 1"}) {
        boxes_.clear();
        EXPECT_TRUE(importText(rennick(com))) << com;
        ASSERT_EQ(messages().size(), 1u) << com;
        EXPECT_NE(messages()[0].find("port \"" + com + "\" is served as it is"), std::string::npos)
            << messages()[0];
    }
}

TEST_F(ImportTest, ConnectionsAtTheEdgesOfWhatTheServersOpenAreRead) {
    for (const std::string address : {"0.0.0.0", "10.0.0.7", "255.255.255.255"}) {
        boxes_.clear();
        EXPECT_TRUE(importText(
            tarnvale("", "name=\"D\" address=\"" + address + "\" id=\"1\" timeout=\"100\"")))
            << address;
        EXPECT_TRUE(messages().empty()) << address;
        ASSERT_NE(state_.devices.find("D"), nullptr) << address;
        EXPECT_EQ(state_.devices.find("D")->getAddress(), address);
    }
    for (const std::string com : {"COM1", "COM12", "COM255"}) {
        boxes_.clear();
        EXPECT_TRUE(importText(rennick(com))) << com;
        EXPECT_TRUE(messages().empty()) << com;
        ASSERT_NE(state_.devices.find("R"), nullptr) << com;
        EXPECT_EQ(state_.devices.find("R")->getCom(), com);
    }
}

TEST_F(ImportTest, MissingFileIsReported) {
    EXPECT_FALSE(import((dir_ / "nowhere.xml").string()));
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0],
              " Error n. 53  File not found: " + (dir_ / "nowhere.xml").string() + " in ImportXML");
}

TEST_F(ImportTest, WhatWasReadBeforeAnErrorStaysWithItsNodes) {
    EXPECT_FALSE(importText(tarnvale("<Pumps>" + tag("A") + "</Pumps>" + tag("B", "x"))));
    EXPECT_NE(state_.items.find("D.Pumps.A"), nullptr);
    EXPECT_EQ(state_.items.find("D.B"), nullptr);
    expectEveryObjectHasItsNode();
}

TEST_F(ImportTest, ASecondUnitOfOneNameIsShownApartWithItsTagsAndServedAsBeforeUntilRenamed) {
    const std::string second = "<PLC name=\"D\" address=\"1.2.3.5\"><tags>" + tag("A", "7") +
                               tag("B") + "</tags></PLC></OPC_DA>";
    std::string text = tarnvale(tag("A"));
    text.replace(text.find("</OPC_DA>"), 9, second);
    ASSERT_TRUE(importText(text));
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_NE(messages()[0].find("a second unit named \"D\" is shown as \"D (2)\""),
              std::string::npos);
    EXPECT_EQ(state_.devices.find("D")->getAddress(), "1.2.3.4");
    const auto shown = state_.devices.find("D (2)");
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->getAddress(), "1.2.3.5");
    EXPECT_EQ(shown->servedName(), "D");
    EXPECT_EQ(state_.tree.find("D (2)")->text, "D (2)");
    EXPECT_EQ(state_.items.find("D.A")->nAddress, 1);
    EXPECT_EQ(state_.items.find("D (2).A")->nAddress, 7);
    EXPECT_NE(state_.items.find("D (2).B"), nullptr);

    // The unit dialog's edits keep the served name while the shown one stays; a rename serves
    // the unit under its new name.
    auto edited = std::make_shared<clsPLC>(*shown);
    edited->setServedName("");
    edited->setTimeout(2000);
    replaceDevice(state_, *state_.tree.find("D (2)"), edited);
    EXPECT_EQ(state_.devices.find("D (2)")->servedName(), "D");
    auto renamed = std::make_shared<clsPLC>(*state_.devices.find("D (2)"));
    renamed->setServedName("");
    renamed->setName("E");
    renamed->keyFromName();
    replaceDevice(state_, *state_.tree.find("D (2)"), renamed);
    EXPECT_EQ(state_.devices.find("E")->servedName(), "E");
    EXPECT_NE(state_.items.find("E.B"), nullptr);
}
