#include "ConfigFiles.h"
#include "LoadedConfig.h"

#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::test;

TEST(Loader, EachServerIgnoresTheOtherKindsFileSilently) {
    const std::string tcp =
        tcpConfig("", tcpDevice("P1", "127.0.0.1", tagElement("T", "HREGISTER VT_I2", "1")));
    const std::string rtu = rtuConfig("", rtuDevice(rtuSettings("R1", "COM1", 9600)));
    LoadedConfig rennick(ServerKind::rennick);
    EXPECT_TRUE(rennick.load(tcp));
    EXPECT_EQ(rennick.config.devices.getCount(), 0u);
    LoadedConfig tarnvale(ServerKind::tarnvale);
    EXPECT_TRUE(tarnvale.load(rtu));
    EXPECT_EQ(tarnvale.config.devices.getCount(), 0u);
    EXPECT_TRUE(rennick.messages().empty());
    EXPECT_TRUE(tarnvale.messages().empty());
}

TEST(Loader, RootMustStartWithModbusThenOpcDa) {
    LoadedConfig commented(ServerKind::tarnvale);
    EXPECT_FALSE(commented.load("<VornModBusTcpIpCfg><!-- edited by hand --><MODBUS/><OPC_DA/>"
                                "</VornModBusTcpIpCfg>"));
    ASSERT_EQ(commented.messages().size(), 1u);
    EXPECT_EQ(commented.messages()[0].text, "Wrong XML file syntax: no ModBus element\n");
    EXPECT_EQ(commented.messages()[0].caption, "OPC ModBus Server");
    EXPECT_EQ(commented.messages()[0].icon, MessageIcon::warning);

    LoadedConfig noDevices(ServerKind::tarnvale);
    EXPECT_FALSE(noDevices.load("<VornModBusTcpIpCfg><MODBUS>" +
                                datatypeRow("HREGISTER", 4, 16, 6) +
                                "</MODBUS><DEVICES/></VornModBusTcpIpCfg>"));
    ASSERT_EQ(noDevices.messages().size(), 1u);
    EXPECT_EQ(noDevices.messages()[0].text, "Wrong XML file syntax: no devices element\n");
    EXPECT_EQ(noDevices.config.modbusTypes.readCode(5), 4) << "the function codes stay set";
    EXPECT_EQ(noDevices.config.modbusTypes.singleWriteCode(5), 6);
    EXPECT_EQ(noDevices.config.devices.getCount(), 0u);
}

TEST(Loader, FunctionCodeRowsDefaultSkipAndLaterWins) {
    LoadedConfig none(ServerKind::tarnvale);
    none.load(tcpConfig("", ""));
    EXPECT_EQ(none.config.modbusTypes.rowCount(), 0u);
    EXPECT_EQ(none.config.modbusTypes.readCode(5), 3);
    EXPECT_EQ(none.config.modbusTypes.writeCode(4), 15);
    EXPECT_EQ(none.config.modbusTypes.readCode(3), 4);
    EXPECT_EQ(none.config.modbusTypes.singleWriteCode(4), 0);

    LoadedConfig rows(ServerKind::tarnvale);
    rows.load(tcpConfig("\t\t<DATATYPE name=\"HREGISTER\" readcode=\"3\"/>\r\n"
                        "\t\t<DATATYPE readcode=\"1\"/>\r\n" +
                            datatypeRow("HREGISTER", 4, 16, 0) + datatypeRow("COIL", 1, 15, 5) +
                            "\t\t<DATATYPE name=\"IREGISTER\" readcode=\"abc\"/>\r\n"
                            "\t\t<DATATYPE name=\"INPUTSTATUS\" readcode=\"258\"/>\r\n",
                        "\t\t<DATATYPE name=\"COIL\" readcode=\"9\"/>\r\n"));
    EXPECT_EQ(rows.config.modbusTypes.rowCount(), 3u)
        << "no row without a name, none with a bad number or a code above 255, none from inside "
           "OPC_DA";
    EXPECT_EQ(rows.config.modbusTypes.readCode(5), 4) << "the later HREGISTER row wins";
    EXPECT_EQ(rows.config.modbusTypes.singleWriteCode(4), 5);
    EXPECT_EQ(rows.config.modbusTypes.readCode(3), 4) << "the skipped row leaves the default";
    EXPECT_EQ(rows.config.modbusTypes.readCode(2), 2) << "so does 258, no function code";
    ASSERT_EQ(rows.traces.size(), 4u) << "the skipped rows, and the two rows that are not read";
    EXPECT_NE(rows.traces[0].find("DATATYPE without \"name\""), std::string::npos);
    EXPECT_NE(rows.traces[1].find("in OPC_DA is not read"), std::string::npos) << rows.traces[1];
    EXPECT_NE(rows.traces[2].find("IREGISTER"), std::string::npos) << rows.traces[2];
    EXPECT_NE(rows.traces[3].find("INPUTSTATUS\" skipped: \"readcode\" value \"258\""),
              std::string::npos)
        << rows.traces[3];
}

TEST(Loader, KindTypeAndAccessRules) {
    LoadedConfig c(ServerKind::tarnvale);
    c.load(tcpConfig(
        "", tcpDevice("P1", "10.0.0.1",
                      tagElement("Arr", "HREGISTER VT_I2 ARRAY", "0", "<elements>3</elements>") +
                          tagElement("Plain", "VT_I2", "1") + tagElement("Empty", "", "2") +
                          tagElement("Coil", "COIL", "3") +
                          tagElement("Inputs", "INPUTSTATUS ARRAY", "4") +
                          tagElement("Bit", "HREGISTER VT_BOOL", "5", "<databit>3</databit>") +
                          tagElement("Str", "IREGISTER VT_BSTR", "6", "<elements>5</elements>") +
                          tagElement("R", "HREGISTER VT_R4", "7", "", "READ") +
                          tagElement("W", "HREGISTER VT_UI4", "9", "", "WRITE") +
                          tagElement("None", "HREGISTER VT_UI2", "11", "", "READ WRITE") +
                          tagElement("Lower", "HREGISTER VT_UI2", "12", "", "readwrite"))));
    struct Expect {
        const char* id;
        uint8_t kind;
        VARTYPE type;
        uint32_t rights;
    };
    for (Expect e : {Expect{"P1.Arr", 5, VT_ARRAY | VT_I2, 3}, Expect{"P1.Plain", 5, VT_I2, 3},
                     Expect{"P1.Empty", 5, VT_EMPTY, 3}, Expect{"P1.Coil", 4, VT_BOOL, 3},
                     Expect{"P1.Inputs", 2, VT_ARRAY | VT_BOOL, 3}, Expect{"P1.Bit", 5, VT_BOOL, 3},
                     Expect{"P1.Str", 3, VT_BSTR, 3}, Expect{"P1.R", 5, VT_R4, 1},
                     Expect{"P1.W", 5, VT_UI4, 2}, Expect{"P1.None", 5, VT_UI2, 0},
                     Expect{"P1.Lower", 5, VT_UI2, 0}}) {
        auto tag = c.tag(e.id);
        ASSERT_TRUE(tag) << e.id;
        EXPECT_EQ(tag->kind(), e.kind) << e.id;
        EXPECT_EQ(tag->getNativeDatatype(), e.type) << e.id;
        EXPECT_EQ(tag->getAccessRights(), e.rights) << e.id;
    }
    EXPECT_EQ(c.tag("P1.Bit")->bitNumber(), 3);
    EXPECT_EQ(c.tag("P1.Str")->elements(), 5);
    EXPECT_EQ(c.tag("P1.W")->address(), 9);
}

TEST(Loader, BranchesNestMergeAndMayBeCalledTags) {
    LoadedConfig c(ServerKind::tarnvale);
    c.load(tcpConfig("", tcpDevice("P1", "10.0.0.1",
                                   "<Pumps>" + tagElement("Level", "VT_I2", "1") + "</Pumps>" +
                                       "<tags><Deep>" + tagElement("X", "VT_I2", "2") +
                                       "</Deep></tags>" + "<Pumps>" +
                                       tagElement("Speed", "VT_I2", "3") + "</Pumps>")));
    EXPECT_TRUE(c.tag("P1.Pumps.Level"));
    EXPECT_TRUE(c.tag("P1.Pumps.Speed")) << "a sibling of the same name adds to the branch";
    EXPECT_TRUE(c.tag("P1.tags.Deep.X"));
    EXPECT_EQ(c.root->findBranch("P1")->branchCount(), 2u);
}

TEST(Loader, DevicesOfOneNameShareABranchAndKeepTheirOwnTags) {
    LoadedConfig c(ServerKind::tarnvale);
    c.load(tcpConfig("<PLC name=\"Ignored\" address=\"1.1.1.1\"/>",
                     tcpDevice("P1", "10.0.0.1", tagElement("A", "VT_I2", "1")) +
                         tcpDevice("P1", "10.0.0.2", tagElement("B", "VT_I2", "1"))));
    auto devices = c.devices();
    ASSERT_EQ(devices.size(), 2u) << "a PLC inside MODBUS is no device";
    EXPECT_EQ(c.root->branchCount(), 1u);
    EXPECT_EQ(c.tag("P1.A")->device(), devices[0]);
    EXPECT_EQ(c.tag("P1.B")->device(), devices[1]);
}

TEST(Loader, AmbiguousNamesKeepTheFirstAndSayWhy) {
    LoadedConfig c(ServerKind::tarnvale);
    c.load(
        tcpConfig(datatypeRow("HREGISTER", 3, 16, 6),
                  tcpDevice("P1", "10.0.0.1",
                            tagElement("Level", "VT_I2", "1") + tagElement("Level", "VT_R4", "2") +
                                "<tag><address>3</address></tag>" + "<Level>" +
                                tagElement("X", "VT_I2", "4") + "</Level>" +
                                tagElement("a.b", "VT_I2", "5"))));
    auto level = c.tag("P1.Level");
    ASSERT_TRUE(level);
    EXPECT_EQ(level->getNativeDatatype(), VT_I2) << "the first of two leaves keeps the name";
    EXPECT_EQ(c.root->findBranch("P1")->leafCount(), 2u);
    EXPECT_FALSE(c.root->findBranch("P1")->findBranch("Level"));
    EXPECT_TRUE(c.tag("P1.a.b")) << "a name holding \".\" is served under its joined ID";
    // The nameless tag also has no datatype and no access rights: two warnings, which come
    // before the lines of what the loader skips.
    ASSERT_EQ(c.traces.size(), 5u);
    EXPECT_NE(c.traces[0].find("has no <datatype>"), std::string::npos) << c.traces[0];
    EXPECT_NE(c.traces[1].find("has no <accessrights>"), std::string::npos) << c.traces[1];
    EXPECT_NE(c.traces[2].find("\"P1.Level\""), std::string::npos) << c.traces[2];
    EXPECT_NE(c.traces[3].find("no name"), std::string::npos) << c.traces[3];
}

TEST(Loader, NamesHoldingDotsAreServedUnderTheirJoinedItemIds) {
    LoadedConfig c(ServerKind::tarnvale);
    c.load(tcpConfig(datatypeRow("HREGISTER", 3, 16, 6) + datatypeRow("IREGISTER", 4, 0, 0) +
                         datatypeRow("COIL", 1, 15, 5),
                     tcpDevice("Line1.PLC", "10.0.0.1",
                               "<Pumps>" + tagElement("Level", "VT_I2", "1") + "</Pumps>" +
                                   "<Tanks.North>" + tagElement("Temp", "VT_I2", "2") +
                                   "</Tanks.North>") +
                         tcpDevice("10.0.0.5", "10.0.0.5", tagElement("T", "VT_I2", "3")) +
                         tcpDevice("Line1", "10.0.0.2",
                                   "<PLC>" + tagElement("Pumps", "VT_I2", "4") + "</PLC>" +
                                       tagElement("PLC.Spare", "VT_I2", "5"))));
    EXPECT_TRUE(c.tag("Line1.PLC.Pumps.Level"));
    EXPECT_TRUE(c.tag("Line1.PLC.Tanks.North.Temp"));
    EXPECT_TRUE(c.tag("10.0.0.5.T"));
    EXPECT_TRUE(c.tag("Line1.PLC.Spare"));
    EXPECT_FALSE(c.root->findBranch("Line1")->findBranch("PLC"))
        << "Line1.PLC is the first device's ID: the later branch is skipped with its tags";
    ASSERT_EQ(c.traces.size(), 1u);
    EXPECT_NE(c.traces[0].find("\"Line1.PLC\""), std::string::npos) << c.traces[0];
    EXPECT_NE(c.traces[0].find("item ID"), std::string::npos) << c.traces[0];
}
