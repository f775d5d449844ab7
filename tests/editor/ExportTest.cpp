#include "TestConfigs.h"
#include "editor/ConfigExport.h"
#include "editor/ModelInsert.h"
#include "fileformat/ConfigFormat.h"
#include "platform/MessageBox.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace vorn;
using namespace vorn::editor;
using namespace vorn::editor::test;
namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "editor-export-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    size_t entries() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(path_), {}));
    }

private:
    fs::path path_;
};

std::shared_ptr<clsPLC> device(const std::string& name, const std::string& address, int id,
                               int timeout) {
    auto plc = std::make_shared<clsPLC>();
    plc->setName(name);
    plc->keyFromName();
    plc->setAddress(address);
    plc->setUI(static_cast<uint8_t>(id));
    plc->setTimeout(timeout);
    return plc;
}

} // namespace

TEST(Writer, TarnvaleFileIsWrittenExactly) {
    EditorState state;
    startNew(state, format::kTarnvaleName);
    addModbusType(state, modbusType("holding register", 3, 16, 6));
    addModbusType(state, modbusType("coil", 1, 15, 5));
    TreeNode& p1 = addDevice(state, device("P1", "192.168.0.10", 1, 1000));
    TreeNode& pumps = branch(state, p1, "Pumps");
    addItem(
        state, pumps,
        item(pumps.key, "Level", "holding register:signed 16 bit", 12, "READ", 0, 0, "tank level"));
    addItem(state, pumps, item(pumps.key, "Run", "coil:boolean", 4, "READWRITE"));
    TreeNode& deep = branch(state, pumps, "Deep");
    addItem(state, deep, item(deep.key, "Flag", "holding register:boolean", 20, "READ", 3));
    addItem(state, pumps, item(pumps.key, "Bits", "coil:array", 8, "READ", 0, 16));
    addItem(state, p1,
            item("P1", "Words", "holding register:signed 16 bit array", 30, "WRITE", 0, 4, ""));
    addItem(state, p1, item("P1", "Label", "holding register:string", 40, "READ", 0, 10, "id"));
    addItem(state, p1, item("P1", "Raw", ":signed 16 bit", 50, "READ"));
    addDevice(state, device("P2", "10.0.0.2", 2, 250));

    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
        "<VornModBusTcpIpCfg>\r\n"
        "\t<MODBUS>\r\n"
        "\t\t<DATATYPE name=\"HREGISTER\" readcode = \"3\" writecode=\"16\" "
        "singlewrcode=\"6\"/>\r\n"
        "\t\t<DATATYPE name=\"COIL\" readcode = \"1\" writecode=\"15\" singlewrcode=\"5\"/>\r\n"
        "\t</MODBUS>\r\n"
        "\t<OPC_DA>\r\n"
        "\t\t<PLC name=\"P1\" address = \"192.168.0.10\" id=\"1\" timeout=\"1000\">\r\n"
        "\t\t\t<tags>\r\n"
        "\t\t\t\t<Pumps>\r\n"
        "\t\t\t\t\t<tag>\r\n"
        "\t\t\t\t\t\t<name>Level</name>\r\n"
        "\t\t\t\t\t\t<comment>tank level</comment>\r\n"
        "\t\t\t\t\t\t<address>12</address>\r\n"
        "\t\t\t\t\t\t<datatype>HREGISTER VT_I2</datatype>\r\n"
        "\t\t\t\t\t\t<accessrights>READ</accessrights>\r\n"
        "\t\t\t\t\t</tag>\r\n"
        "\t\t\t\t\t<tag>\r\n"
        "\t\t\t\t\t\t<name>Run</name>\r\n"
        "\t\t\t\t\t\t<comment></comment>\r\n"
        "\t\t\t\t\t\t<address>4</address>\r\n"
        "\t\t\t\t\t\t<datatype>COIL VT_BOOL</datatype>\r\n"
        "\t\t\t\t\t\t<accessrights>READWRITE</accessrights>\r\n"
        "\t\t\t\t\t\t<databit>0</databit>\r\n"
        "\t\t\t\t\t</tag>\r\n"
        "\t\t\t\t\t<Deep>\r\n"
        "\t\t\t\t\t\t<tag>\r\n"
        "\t\t\t\t\t\t\t<name>Flag</name>\r\n"
        "\t\t\t\t\t\t\t<comment></comment>\r\n"
        "\t\t\t\t\t\t\t<address>20</address>\r\n"
        "\t\t\t\t\t\t\t<datatype>HREGISTER VT_BOOL</datatype>\r\n"
        "\t\t\t\t\t\t\t<accessrights>READ</accessrights>\r\n"
        "\t\t\t\t\t\t\t<databit>3</databit>\r\n"
        "\t\t\t\t\t\t</tag>\r\n"
        "\t\t\t\t\t</Deep>\r\n"
        "\t\t\t\t\t<tag>\r\n"
        "\t\t\t\t\t\t<name>Bits</name>\r\n"
        "\t\t\t\t\t\t<comment></comment>\r\n"
        "\t\t\t\t\t\t<address>8</address>\r\n"
        "\t\t\t\t\t\t<datatype>COIL ARRAY</datatype>\r\n"
        "\t\t\t\t\t\t<accessrights>READ</accessrights>\r\n"
        "\t\t\t\t\t\t<elements>16</elements>\r\n"
        "\t\t\t\t\t</tag>\r\n"
        "\t\t\t\t</Pumps>\r\n"
        "\t\t\t\t<tag>\r\n"
        "\t\t\t\t\t<name>Words</name>\r\n"
        "\t\t\t\t\t<comment></comment>\r\n"
        "\t\t\t\t\t<address>30</address>\r\n"
        "\t\t\t\t\t<datatype>HREGISTER VT_I2 ARRAY</datatype>\r\n"
        "\t\t\t\t\t<accessrights>WRITE</accessrights>\r\n"
        "\t\t\t\t\t<elements>4</elements>\r\n"
        "\t\t\t\t</tag>\r\n"
        "\t\t\t\t<tag>\r\n"
        "\t\t\t\t\t<name>Label</name>\r\n"
        "\t\t\t\t\t<comment>id</comment>\r\n"
        "\t\t\t\t\t<address>40</address>\r\n"
        "\t\t\t\t\t<datatype>HREGISTER VT_BSTR</datatype>\r\n"
        "\t\t\t\t\t<accessrights>READ</accessrights>\r\n"
        "\t\t\t\t\t<elements>10</elements>\r\n"
        "\t\t\t\t</tag>\r\n"
        "\t\t\t\t<tag>\r\n"
        "\t\t\t\t\t<name>Raw</name>\r\n"
        "\t\t\t\t\t<comment></comment>\r\n"
        "\t\t\t\t\t<address>50</address>\r\n"
        "\t\t\t\t\t<datatype> VT_I2</datatype>\r\n"
        "\t\t\t\t\t<accessrights>READ</accessrights>\r\n"
        "\t\t\t\t</tag>\r\n"
        "\t\t\t</tags>\r\n"
        "\t\t</PLC>\r\n"
        "\t\t<PLC name=\"P2\" address = \"10.0.0.2\" id=\"2\" timeout=\"250\">\r\n"
        "\t\t\t<tags>\r\n"
        "\t\t\t</tags>\r\n"
        "\t\t</PLC>\r\n"
        "\t</OPC_DA>\r\n"
        "</VornModBusTcpIpCfg>\r\n";
    EXPECT_EQ(configurationText(state), expected);

    TempDir dir;
    ASSERT_TRUE(CreateXML(state, dir.file("Tarnvale.xml")));
    EXPECT_EQ(readFile(dir.file("Tarnvale.xml")), expected);
}

TEST(Writer, RennickDeviceSettingsAreChildrenInOrder) {
    EditorState state;
    startNew(state, format::kRennickName);
    auto plc = std::make_shared<clsPLC>();
    plc->setName("R1");
    plc->keyFromName();
    plc->setUI(3);
    plc->setCom("COM2");
    plc->setBaud(9600);
    plc->setParity("EVEN");
    plc->setStopBits(2);
    plc->setDataBits(7);
    plc->setFlowCtl("HARDWARE");
    plc->setTimeout(800);
    plc->setSilent(15);
    TreeNode& r1 = addDevice(state, plc);
    addItem(state, r1, item("R1", "In", "input status:boolean", 1, "READ"));

    EXPECT_EQ(configurationText(state), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
                                        "<VornModBusRTUCfg>\r\n"
                                        "\t<MODBUS>\r\n"
                                        "\t</MODBUS>\r\n"
                                        "\t<OPC_DA>\r\n"
                                        "\t\t<PLC>\r\n"
                                        "\t\t\t<name>R1</name>\r\n"
                                        "\t\t\t<id>3</id>\r\n"
                                        "\t\t\t<com>COM2</com>\r\n"
                                        "\t\t\t<baudrate>9600</baudrate>\r\n"
                                        "\t\t\t<parity>EVEN</parity>\r\n"
                                        "\t\t\t<stopbits>2</stopbits>\r\n"
                                        "\t\t\t<databits>7</databits>\r\n"
                                        "\t\t\t<flowcontrol>HARDWARE</flowcontrol>\r\n"
                                        "\t\t\t<timeout>800</timeout>\r\n"
                                        "\t\t\t<silent>15</silent>\r\n"
                                        "\t\t\t<tags>\r\n"
                                        "\t\t\t\t<tag>\r\n"
                                        "\t\t\t\t\t<name>In</name>\r\n"
                                        "\t\t\t\t\t<comment></comment>\r\n"
                                        "\t\t\t\t\t<address>1</address>\r\n"
                                        "\t\t\t\t\t<datatype>INPUTSTATUS VT_BOOL</datatype>\r\n"
                                        "\t\t\t\t\t<accessrights>READ</accessrights>\r\n"
                                        "\t\t\t\t\t<databit>0</databit>\r\n"
                                        "\t\t\t\t</tag>\r\n"
                                        "\t\t\t</tags>\r\n"
                                        "\t\t</PLC>\r\n"
                                        "\t</OPC_DA>\r\n"
                                        "</VornModBusRTUCfg>\r\n");
}

TEST(Writer, PortIsWrittenOnlyWhenNotTheModbusDefault) {
    clsPLC plc = *device("P", "10.0.0.1", 1, 1000);
    EXPECT_EQ(plc.GetXmlTag(format::kTarnvaleName),
              "\t\t<PLC name=\"P\" address = \"10.0.0.1\" id=\"1\" timeout=\"1000\">\r\n");
    plc.setPort(5020);
    EXPECT_EQ(plc.GetXmlTag(format::kTarnvaleName),
              "\t\t<PLC name=\"P\" address = \"10.0.0.1\" id=\"1\" timeout=\"1000\" "
              "port=\"5020\">\r\n");
}

TEST(Writer, MarkupIsEscapedAndTextIsLatin1) {
    clsItem it = *item("P", "Temp\xC3\xA9", "holding register:signed 16 bit", 1, "READ", 0, 0,
                       "a<b & \"c\" > 5 \xE2\x82\xAC");
    const std::string block = it.GetXmlTag(4);
    EXPECT_NE(block.find("<name>Temp\xE9</name>"), std::string::npos) << block;
    EXPECT_NE(block.find("<comment>a&lt;b &amp; \"c\" > 5 &#8364;</comment>"), std::string::npos)
        << block;
    clsPLC plc = *device("A\"B", "1.2.3.4&", 1, 1);
    EXPECT_EQ(plc.GetXmlTag(format::kTarnvaleName),
              "\t\t<PLC name=\"A&quot;B\" address = \"1.2.3.4&amp;\" id=\"1\" timeout=\"1\">\r\n");
}

TEST(Writer, ReproducesTheRoundTripExamplesByteForByte) {
    struct Example {
        const char* file;
        void (*build)(EditorState&);
    };
    for (Example example : {Example{"roundtrip_tarnvale.xml", buildTarnvaleRoundTrip},
                            Example{"roundtrip_rennick.xml", buildRennickRoundTrip}}) {
        EditorState state;
        example.build(state);
        const std::string text = configurationText(state);
        if (std::getenv("VORN_EDITOR_REGENERATE"))
            std::ofstream(dataPath(example.file), std::ios::binary) << text;
        EXPECT_EQ(text, readFile(dataPath(example.file))) << example.file;
    }
}

TEST(Writer, FailedSaveKeepsThePreviousFile) {
    ScriptedMessageBox boxes;
    ScopedMessageBoxes scope(boxes);
    TempDir dir;
    const std::string path = dir.file("Tarnvale.xml");
    std::ofstream(path, std::ios::binary) << "previous";

    EditorState state;
    startNew(state, format::kTarnvaleName);
    TreeNode& p1 = addDevice(state, device("P1", "10.0.0.1", 1, 1000));
    branch(state, p1, "1st"); // not an XML name: the file could not be read back
    EXPECT_FALSE(CreateXML(state, path));
    EXPECT_EQ(readFile(path), "previous");
    EXPECT_EQ(dir.entries(), 1u);

    EXPECT_FALSE(CreateXML(state, dir.file("missing/Tarnvale.xml")));
    auto shown = boxes.shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, " Error n. 380  Invalid property value: branch name \"1st\" cannot "
                             "be written as an XML element name in CreateXML");
    EXPECT_EQ(shown[1].text.rfind(" Error n. 380  ", 0), 0u); // the name is checked first

    state.tree.remove(*state.tree.find("P1.1st"));
    state.branches.remove("P1.1st");
    EXPECT_FALSE(CreateXML(state, dir.file("missing/Tarnvale.xml")));
    ASSERT_EQ(boxes.shown().size(), 3u);
    EXPECT_EQ(boxes.shown()[2].text.rfind(" Error n. 75  Path/File access error: cannot write ", 0),
              0u)
        << boxes.shown()[2].text;
    EXPECT_NE(boxes.shown()[2].text.find(" in CreateXML"), std::string::npos);

    ASSERT_TRUE(CreateXML(state, path));
    EXPECT_EQ(readFile(path).rfind("<?xml", 0), 0u);
    EXPECT_EQ(dir.entries(), 1u);
}

TEST(Writer, DeeplyNestedBranchesAreWrittenWithoutRecursion) {
    EditorState state;
    startNew(state, format::kTarnvaleName);
    TreeNode* node = &addDevice(state, device("P", "10.0.0.1", 1, 1000));
    const int depth = 2000;
    for (int i = 0; i < depth; ++i)
        node = &branch(state, *node, "B");
    addItem(state, *node, item(node->key, "X", "coil:boolean", 0));
    const std::string text = configurationText(state);
    EXPECT_NE(text.find(std::string(depth + 3, '\t') + "</B>\r\n"), std::string::npos);
    EXPECT_NE(text.find(std::string(depth + 4, '\t') + "<tag>\r\n"), std::string::npos);
}
