// What a server says about a file that loads but will not work as its writer meant: one "CFG"
// warning per mistake, at the default trace level, with the file's line, while the rest of
// the file loads.
#include "ConfigFiles.h"
#include "LoadedConfig.h"
#include "NumberedFile.h"
#include "config/ConfigCheck.h"
#include "config/ConfigSummary.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>

using namespace vorn;
using namespace vorn::test;

namespace {

const std::string kAllRows = datatypeRow("INPUTSTATUS", 2, 0, 0) +
                             datatypeRow("IREGISTER", 4, 0, 0) + datatypeRow("COIL", 1, 15, 5) +
                             datatypeRow("HREGISTER", 3, 16, 6);

} // namespace

TEST(ConfigWarnings, EachCommonMistakeGivesOneWarningWithItsLineAndTheRestLoads) {
    DefaultTraceLevel level;
    NumberedFile f("VornModBusTcpIpCfg");
    f.add("\t<MODBUS>");
    f.add(kAllRows.substr(0, kAllRows.size() - 2));
    f.add("\t</MODBUS>");
    f.add("\t<OPC_DA>");
    f.add("\t\t<PLC name=\"P1\" address = \"127.0.0.1\">");
    f.add("\t\t\t<tags>");
    f.add(tagElement("Good", "HREGISTER VT_I2", "0"));
    f.add(tagElement("U4", "HREGISTER VT_U4", "1"), "U4");
    f.add(tagElement("Lower", "hregister vt_ui2", "2"), "Lower");
    f.add(tagElement("ShortRight", "HREGISTER VT_I2", "3", "", "R"), "ShortRight");
    f.add(tagElement("Typo", "IREGISTR VT_I2", "4"), "Typo");
    f.add(tagElement("Real", "HREGISTER VT_REAL", "5"), "Real");
    f.add("<tag><name>NoType</name><address>6</address><accessrights>READ</accessrights></tag>",
          "NoType");
    f.add("\t\t\t</tags>");
    f.add("\t\t</PLC>");
    f.add("\t\t<PLC>", "Elements");
    f.add("\t\t\t<name>P2</name><address>127.0.0.2</address>");
    f.add("\t\t\t<tags>" + tagElement("T", "HREGISTER VT_I2", "0") + "</tags>");
    f.add("\t\t</PLC>");
    f.add("\t\t<PLC name=\"P3\" address = \"127.0.0.3\"><tags>" + tagElement("T", "COIL", "0") +
          "</tags></PLC>");
    f.add("\t</OPC_DA>");
    f.add("</VornModBusTcpIpCfg>");

    LoadedConfig c(ServerKind::tarnvale);
    ASSERT_TRUE(c.load(f.text()));
    expectOneWarningAt(c, "\"HREGISTER VT_U4\"", f.lineOf("U4"));
    expectOneWarningAt(c, "\"hregister vt_ui2\"", f.lineOf("Lower"));
    expectOneWarningAt(c, "accessrights \"R\"", f.lineOf("ShortRight"));
    expectOneWarningAt(c, "\"IREGISTR\"", f.lineOf("Typo"));
    expectOneWarningAt(c, "\"HREGISTER VT_REAL\"", f.lineOf("Real"));
    expectOneWarningAt(c, "has no <datatype>", f.lineOf("NoType"));
    expectOneWarningAt(c, "takes its settings as attributes", f.lineOf("Elements"));
    EXPECT_EQ(c.traces.size(), 7u) << "nothing else is remarked";

    // What each mistake leaves, and the rest of the file.
    EXPECT_EQ(c.tag("P1.U4")->getNativeDatatype(), VT_EMPTY);
    EXPECT_EQ(c.tag("P1.Lower")->getNativeDatatype(), VT_EMPTY);
    EXPECT_EQ(c.tag("P1.Typo")->getNativeDatatype(), VT_I2);
    EXPECT_EQ(c.tag("P1.ShortRight")->getAccessRights(), 0u);
    EXPECT_EQ(c.tag("P1.Good")->getNativeDatatype(), VT_I2);
    ASSERT_EQ(c.devices().size(), 2u) << "P1 and P3; P2 written with elements is skipped";
    EXPECT_EQ(c.devices()[1]->name, "P3");
    EXPECT_TRUE(c.tag("P3.T"));
}

TEST(ConfigWarnings, TheWarningsSayWhatTheServerDoesInstead) {
    LoadedConfig c(ServerKind::tarnvale);
    c.load(tcpConfig(kAllRows, tcpDevice("P1", "127.0.0.1",
                                         tagElement("Lower", "hregister vt_ui2", "2") +
                                             tagElement("Typo", "IREGISTR VT_I2", "4") +
                                             tagElement("Coil", "COIL VT_I2", "5"))));
    auto lower = tracesWith(c, "\"hregister vt_ui2\"");
    ASSERT_EQ(lower.size(), 1u);
    EXPECT_NE(lower[0].find("case-sensitive: \"HREGISTER\""), std::string::npos) << lower[0];
    EXPECT_NE(lower[0].find("VT_EMPTY"), std::string::npos) << lower[0];
    auto typo = tracesWith(c, "\"IREGISTR VT_I2\"");
    ASSERT_EQ(typo.size(), 1u);
    EXPECT_NE(typo[0].find("loads as HREGISTER VT_I2"), std::string::npos) << typo[0];
    auto coil = tracesWith(c, "\"COIL VT_I2\"");
    ASSERT_EQ(coil.size(), 1u);
    EXPECT_NE(coil[0].find("always VT_BOOL"), std::string::npos) << coil[0];
}

TEST(ConfigWarnings, AFunctionCodeLargerThanAByteSkipsItsRowWithItsLine) {
    NumberedFile f("VornModBusTcpIpCfg");
    f.add("\t<MODBUS>");
    f.add("\t\t<DATATYPE name=\"HREGISTER\" readcode=\"256\" writecode=\"16\"/>", "256");
    f.add("\t\t<DATATYPE name=\"COIL\" readcode=\"1\" writecode=\"15\" singlewrcode=\"259\"/>",
          "259");
    f.add("\t\t<DATATYPE name=\"IREGISTER\" readcode=\"4\"/>");
    f.add("\t</MODBUS>");
    f.add("\t<OPC_DA>" + tcpDevice("P1", "127.0.0.1", tagElement("T", "IREGISTER VT_I2", "0")) +
          "\t</OPC_DA>");
    f.add("</VornModBusTcpIpCfg>");
    LoadedConfig c(ServerKind::tarnvale);
    ASSERT_TRUE(c.load(f.text()));
    expectOneWarningAt(c, "DATATYPE \"HREGISTER\" skipped: \"readcode\" value \"256\"",
                       f.lineOf("256"));
    expectOneWarningAt(c, "DATATYPE \"COIL\" skipped: \"singlewrcode\" value \"259\"",
                       f.lineOf("259"));
    // Only the row that fits is kept: no code 0 (256) or 3 (259) goes on the wire.
    EXPECT_EQ(c.config.modbusTypes.rowCount(), 1u);
    EXPECT_EQ(c.config.modbusTypes.readCode(3), 4);
}

TEST(ConfigWarnings, AKindWithoutFunctionCodesIsNamedOnceWithItsDefaults) {
    LoadedConfig c(ServerKind::tarnvale);
    c.load(tcpConfig(datatypeRow("HREGISTER", 3, 16, 6),
                     tcpDevice("P1", "127.0.0.1",
                               tagElement("A", "IREGISTER VT_I2", "0") +
                                   tagElement("B", "IREGISTER VT_I4", "1") +
                                   tagElement("C", "COIL", "0") +
                                   tagElement("D", "HREGISTER VT_I2", "0"))));
    const modbus::FunctionCodes input = modbus::ModbusTypeTable().lookup(3);
    const modbus::FunctionCodes coil = modbus::ModbusTypeTable().lookup(4);
    auto inputs = tracesWith(c, "no DATATYPE row for IREGISTER");
    ASSERT_EQ(inputs.size(), 1u) << "one warning for the kind, not one per tag";
    EXPECT_NE(inputs[0].find("function code " + std::to_string(input.read) + " to read"),
              std::string::npos)
        << inputs[0];
    auto coils = tracesWith(c, "no DATATYPE row for COIL");
    ASSERT_EQ(coils.size(), 1u);
    EXPECT_NE(coils[0].find("read " + std::to_string(coil.read) + ", write " +
                            std::to_string(coil.write)),
              std::string::npos)
        << coils[0];
    EXPECT_TRUE(tracesWith(c, "for HREGISTER").empty());
    EXPECT_TRUE(c.tag("P1.A") && c.tag("P1.C"));
}

TEST(ConfigWarnings, FieldsTheTagDoesNotUseAndUnknownNames) {
    LoadedConfig c(ServerKind::tarnvale);
    c.load(tcpConfig(kAllRows + "\t\t<DATATYPE name=\"COIL\" readcode=\"1\" writcode=\"15\"/>\r\n",
                     tcpDevice("P1", "127.0.0.1",
                               tagElement("Bit", "HREGISTER VT_I2", "0", "<databit>3</databit>") +
                                   tagElement("Str", "HREGISTER VT_BSTR", "1") +
                                   "<tag><name>Typo</name><adress>5</adress><datatype>HREGISTER "
                                   "VT_I2</datatype><accessrights>READ</accessrights></tag>" +
                                   "<Pumps kind=\"x\">" + tagElement("P", "HREGISTER VT_I2", "7") +
                                   "</Pumps>",
                               " prot=\"1502\"")));
    EXPECT_EQ(tracesWith(c, "databit is used only by VT_BOOL").size(), 1u);
    EXPECT_EQ(tracesWith(c, "needs <elements>").size(), 1u);
    EXPECT_EQ(tracesWith(c, "element <adress> is not read").size(), 1u);
    EXPECT_EQ(tracesWith(c, "attribute writcode not read").size(), 1u);
    EXPECT_EQ(tracesWith(c, "attribute prot not read").size(), 1u);
    EXPECT_EQ(tracesWith(c, "attribute kind not read").size(), 1u);
    EXPECT_EQ(c.traces.size(), 6u);
    EXPECT_TRUE(c.tag("P1.Pumps.P"));
}

TEST(ConfigWarnings, SerialDevicesInTheOtherFormOrWithTextsNotAccepted) {
    DefaultTraceLevel level;
    NumberedFile f("VornModBusRTUCfg");
    f.add("\t<MODBUS>");
    f.add(kAllRows.substr(0, kAllRows.size() - 2));
    f.add("\t</MODBUS>");
    f.add("\t<OPC_DA>");
    f.add("\t\t<PLC>");
    f.add("\t\t\t<name>R1</name><id>1</id><com>COM1</com><baudrate>9600</baudrate>");
    f.add("\t\t\t<parity>NONE</parity>", "Parity");
    f.add("\t\t\t<flowcontrol>NO</flowcontrol>", "Flow");
    f.add("\t\t\t<tags>" + tagElement("T", "HREGISTER VT_I2", "0") + "</tags>");
    f.add("\t\t</PLC>");
    f.add("\t\t<PLC name=\"R2\" com=\"COM2\"><tags/></PLC>", "Attributes");
    f.add("\t</OPC_DA>");
    f.add("</VornModBusRTUCfg>");

    LoadedConfig c(ServerKind::rennick);
    ASSERT_TRUE(c.load(f.text()));
    expectOneWarningAt(c, "parity \"NONE\"", f.lineOf("Parity"));
    expectOneWarningAt(c, "flowcontrol \"NO\"", f.lineOf("Flow"));
    expectOneWarningAt(c, "takes its settings as child elements", f.lineOf("Attributes"));
    EXPECT_EQ(c.traces.size(), 3u);
    ASSERT_EQ(c.devices().size(), 1u);
    EXPECT_TRUE(c.tag("R1.T"));
}

TEST(ConfigWarnings, AFileForTheOtherServerSaysSo) {
    LoadedConfig c(ServerKind::rennick);
    c.load(tcpConfig(kAllRows, tcpDevice("P1", "127.0.0.1", tagElement("T", "VT_I2", "0"))));
    ASSERT_EQ(c.traces.size(), 1u);
    EXPECT_NE(c.traces[0].find("line 2: root element \"VornModBusTcpIpCfg\" is not read"),
              std::string::npos)
        << c.traces[0];
    EXPECT_TRUE(c.messages().empty()) << "a trace line, no message box";
}

TEST(ConfigWarnings, AParseErrorGivesLineAndColumn) {
    LoadedConfig c(ServerKind::tarnvale);
    c.load("<?xml version=\"1.0\"?>\r\n<VornModBusTcpIpCfg>\r\n\t<MODBUS>\r\n\t</MODBUSS>\r\n");
    ASSERT_EQ(c.traces.size(), 1u);
    EXPECT_NE(c.traces[0].find("(line 4, column "), std::string::npos) << c.traces[0];
    EXPECT_EQ(c.devices().size(), 0u);
}

TEST(ConfigWarnings, TheSummaryCountsDevicesTagsSkippedElementsAndWarnings) {
    LoadedConfig c(ServerKind::tarnvale);
    ConfigLoader loader = c.loader();
    const std::string path = c.dir.write(
        "plant.xml",
        tcpConfig(kAllRows, tcpDevice("P1", "127.0.0.1",
                                      tagElement("A", "HREGISTER VT_I2", "0") +
                                          tagElement("B", "HREGISTER VT_U4", "1") +
                                          tagElement("C", "HREGISTER VT_I2", "70000")) +
                                tcpDevice("P2", "127.0.0.2", tagElement("A", "COIL", "0"))));
    loader.loadConfiguration(path, *c.root);
    const ConfigSummary& summary = loader.summary();
    EXPECT_EQ(summary.devices, 2u);
    EXPECT_EQ(summary.tags, 3u);
    EXPECT_EQ(summary.skipped, 1u);
    EXPECT_EQ(summary.warnings, 1u);
    EXPECT_EQ(summary.describe("Tarnvale"),
              "Tarnvale: configuration " + path +
                  ": 2 devices, 3 tags, 1 element skipped, 1 warning (CFG lines above)");

    ConfigSummary clean{"/srv/T.xml", true, 1, 1, 0, 0};
    EXPECT_EQ(
        clean.describe("Tarnvale"),
        "Tarnvale: configuration /srv/T.xml: 1 device, 1 tag, 0 elements skipped, 0 warnings");
    EXPECT_EQ(ConfigSummary{}.describe("Rennick"),
              "Rennick: no configuration file loaded, 0 devices");
    ConfigSummary broken{"/srv/T.xml", false, 0, 0, 0, 0};
    EXPECT_EQ(broken.describe("Tarnvale"),
              "Tarnvale: configuration /srv/T.xml not loaded (see the CFG line above), 0 devices");
}

TEST(ConfigWarnings, AFileWithTheSameMistakeEverywhereDoesNotFloodTheTrace) {
    std::string tags;
    for (int i = 0; i < 600; ++i)
        tags += tagElement("T" + std::to_string(i), "HREGISTER VT_I2", std::to_string(i), "", "R");
    LoadedConfig c(ServerKind::tarnvale);
    ConfigLoader loader = c.loader();
    loader.loadConfiguration(
        c.dir.write("many.xml", tcpConfig(kAllRows, tcpDevice("P1", "127.0.0.1", tags))), *c.root);
    EXPECT_EQ(loader.summary().warnings, 600u);
    EXPECT_EQ(loader.summary().tags, 600u);
    ASSERT_EQ(c.traces.size(), ConfigCheck::kMaxWarningsShown + 1);
    EXPECT_NE(c.traces.back().find("100 more warnings"), std::string::npos) << c.traces.back();
}
