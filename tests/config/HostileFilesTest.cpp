#include "ConfigFiles.h"
#include "LoadedConfig.h"

#include <gtest/gtest.h>
#include <random>

using namespace vorn;
using namespace vorn::test;

namespace {

std::string goodFile() {
    return tcpConfig(
        datatypeRow("HREGISTER", 3, 16, 6),
        tcpDevice("P1", "127.0.0.1", "<Pumps>" + tagElement("Level", "VT_R4", "10") + "</Pumps>"));
}

} // namespace

TEST(HostileFiles, TruncatedFilesLoadNothingAtEveryLength) {
    const std::string whole = goodFile();
    const size_t rootClosed = whole.rfind('>'); // cuts before it leave the root open
    for (size_t length = 0; length < rootClosed; length += 7) {
        LoadedConfig c(ServerKind::tarnvale);
        c.load(whole.substr(0, length));
        EXPECT_EQ(c.config.devices.getCount(), 0u) << "cut at " << length;
    }
}

TEST(HostileFiles, BinaryGarbageLoadsNothing) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 50; ++round) {
        std::string garbage(4096, '\0');
        for (char& c : garbage)
            c = static_cast<char>(random());
        if (round % 2)
            garbage = "<VornModBusTcpIpCfg><MODBUS/><OPC_DA>" + garbage;
        LoadedConfig c(ServerKind::tarnvale);
        c.load(garbage);
        EXPECT_EQ(c.config.devices.getCount(), 0u);
    }
}

TEST(HostileFiles, AHugeElementNameBecomesABranchAndTracesStayShort) {
    const std::string huge(10 * 1024 * 1024, 'B');
    LoadedConfig c(ServerKind::tarnvale);
    c.load(tcpConfig(datatypeRow("HREGISTER", 3, 16, 6),
                     tcpDevice("P1", "127.0.0.1",
                               "<" + huge + ">" + tagElement("T", "VT_I2", "0") +
                                   tagElement("T", "VT_I2", "1") + "</" + huge + ">")));
    EXPECT_TRUE(c.tag("P1." + huge + ".T"));
    ASSERT_EQ(c.traces.size(), 1u) << "the duplicate tag is reported";
    EXPECT_LT(c.traces[0].size(), 300u);
}

TEST(HostileFiles, DeepNestingIsCutAtTheBranchLimit) {
    constexpr int kLevels = 10000;
    std::string open, close;
    for (int i = 0; i < kLevels; ++i) {
        open += "<B>";
        close += "</B>";
    }
    LoadedConfig c(ServerKind::tarnvale);
    c.load(tcpConfig(datatypeRow("HREGISTER", 3, 16, 6),
                     tcpDevice("P1", "127.0.0.1",
                               tagElement("Top", "VT_I2", "0") + open +
                                   tagElement("Bottom", "VT_I2", "1") + close)));
    EXPECT_TRUE(c.tag("P1.Top"));
    std::string id = "P1";
    for (unsigned i = 1; i <= ConfigLoader::kMaxBranchDepth; ++i)
        id += ".B";
    EXPECT_TRUE(c.root->findNode(id)) << "branches down to the limit, 64 levels, are kept";
    EXPECT_FALSE(c.root->findNode(id + ".B"));
    EXPECT_EQ(c.traces.size(), 1u);
}

TEST(HostileFiles, BadTagNumbersSkipOnlyThatTag) {
    LoadedConfig c(ServerKind::tarnvale);
    c.load(tcpConfig(
        datatypeRow("HREGISTER", 3, 16, 6),
        tcpDevice("P1", "127.0.0.1",
                  tagElement("BigAddress", "VT_I2", "70000") +
                      tagElement("TextBit", "VT_BOOL", "1", "<databit>abc</databit>") +
                      tagElement("NegativeCount", "VT_I2 ARRAY", "2", "<elements>-1</elements>") +
                      tagElement("Rounded", "VT_I2", "12.7") + tagElement("Blank", "VT_I2", " 7 ") +
                      tagElement("Good", "VT_I2", "65535"))));
    EXPECT_FALSE(c.tag("P1.BigAddress"));
    EXPECT_FALSE(c.tag("P1.TextBit"));
    EXPECT_FALSE(c.tag("P1.NegativeCount"));
    ASSERT_TRUE(c.tag("P1.Rounded"));
    EXPECT_EQ(c.tag("P1.Rounded")->address(), 13);
    EXPECT_EQ(c.tag("P1.Blank")->address(), 7);
    EXPECT_EQ(c.tag("P1.Good")->address(), 65535);
    ASSERT_EQ(c.traces.size(), 3u);
    EXPECT_NE(c.traces[0].find("\"P1.BigAddress\""), std::string::npos) << c.traces[0];
    EXPECT_NE(c.traces[0].find("70000"), std::string::npos) << c.traces[0];
}

TEST(HostileFiles, TagsRunningPastTheLastRegisterAreSkipped) {
    LoadedConfig c(ServerKind::tarnvale);
    c.load(tcpConfig(
        datatypeRow("HREGISTER", 3, 16, 6) + datatypeRow("IREGISTER", 4, 0, 0) +
            datatypeRow("COIL", 1, 15, 5),
        tcpDevice(
            "P1", "127.0.0.1",
            tagElement("Long", "HREGISTER VT_I4", "65535") +
                tagElement("Array", "HREGISTER VT_I2 ARRAY", "65534", "<elements>3</elements>") +
                tagElement("Text", "HREGISTER VT_BSTR", "65533", "<elements>7</elements>") +
                tagElement("Coils", "COIL ARRAY", "65530", "<elements>7</elements>") +
                tagElement("LastLong", "HREGISTER VT_I4", "65534") +
                tagElement("LastText", "HREGISTER VT_BSTR", "65533", "<elements>6</elements>") +
                tagElement("LastCoils", "COIL ARRAY", "65530", "<elements>6</elements>") +
                tagElement("Neighbour", "HREGISTER VT_I2", "65533"))));
    for (const char* skipped : {"P1.Long", "P1.Array", "P1.Text", "P1.Coils"})
        EXPECT_FALSE(c.tag(skipped)) << skipped;
    for (const char* kept : {"P1.LastLong", "P1.LastText", "P1.LastCoils", "P1.Neighbour"})
        EXPECT_TRUE(c.tag(kept)) << kept;
    ASSERT_EQ(c.traces.size(), 4u);
    EXPECT_NE(c.traces[0].find("\"P1.Long\""), std::string::npos) << c.traces[0];
}

TEST(HostileFiles, ARegisterBitBeyondBit15IsSkipped) {
    LoadedConfig c(ServerKind::tarnvale);
    c.load(tcpConfig(
        datatypeRow("HREGISTER", 3, 16, 6) + datatypeRow("IREGISTER", 4, 0, 0) +
            datatypeRow("COIL", 1, 15, 5),
        tcpDevice("P1", "127.0.0.1",
                  tagElement("Bit16", "HREGISTER VT_BOOL", "1", "<databit>16</databit>") +
                      tagElement("Bit15", "IREGISTER VT_BOOL", "1", "<databit>15</databit>") +
                      tagElement("Coil", "COIL VT_BOOL", "1", "<databit>20</databit>") +
                      tagElement("Bits", "HREGISTER VT_BOOL ARRAY", "2",
                                 "<databit>15</databit><elements>4</elements>"))));
    EXPECT_FALSE(c.tag("P1.Bit16"));
    EXPECT_TRUE(c.tag("P1.Bit15"));
    EXPECT_TRUE(c.tag("P1.Coil")) << "a coil has no register bit";
    EXPECT_TRUE(c.tag("P1.Bits")) << "a bool array may run on into the next register";
    ASSERT_EQ(c.traces.size(), 1u);
    EXPECT_NE(c.traces[0].find("\"P1.Bit16\""), std::string::npos) << c.traces[0];
}

TEST(HostileFiles, ReferencesToCodePointsThatAreNoCharactersSkipTheirElement) {
    LoadedConfig c(ServerKind::tarnvale);
    c.load(tcpConfig(datatypeRow("HREGISTER", 3, 16, 6) + datatypeRow("IREGISTER", 4, 0, 0) +
                         datatypeRow("COIL", 1, 15, 5),
                     tcpDevice("P&#xD800;", "127.0.0.1", tagElement("T", "VT_I2", "1")) +
                         tcpDevice("P1", "127.0.0.1",
                                   tagElement("A&#x110000;", "VT_I2", "1") +
                                       "<tag><name>B</name><comment>x&#xDFFF;</comment>"
                                       "<address>2</address><datatype>VT_I2</datatype></tag>" +
                                       tagElement("Gr\xFC\xDF&#x20AC;", "VT_I2", "3"))));
    EXPECT_EQ(c.root->branchCount(), 1u) << "the device named with a surrogate is skipped";
    EXPECT_EQ(c.config.devices.getCount(), 1u);
    ASSERT_TRUE(c.root->findBranch("P1"));
    EXPECT_EQ(c.root->findBranch("P1")->leafCount(), 1u);
    EXPECT_TRUE(c.tag("P1.Gr\xC3\xBC\xC3\x9F\xE2\x82\xAC"))
        << "ISO-8859-1 bytes and real characters still load";
    // Three skips, and the warning that tag B has no access rights.
    EXPECT_EQ(c.traces.size(), 4u);
}

TEST(HostileFiles, ValuesThatAreNotTextCountAsAbsent) {
    LoadedConfig c(ServerKind::tarnvale);
    c.load(tcpConfig("", tcpDevice("P1", "127.0.0.1",
                                   "<tag><name>T</name><address><!--x-->5</address>"
                                   "<datatype><b/>VT_I4</datatype><accessrights/></tag>")));
    auto tag = c.tag("P1.T");
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->address(), 0);
    EXPECT_EQ(tag->getNativeDatatype(), VT_EMPTY);
    EXPECT_EQ(tag->getAccessRights(), 0u);
}
