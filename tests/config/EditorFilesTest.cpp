#include "LoadedConfig.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace vorn;
using namespace vorn::test;

// The files Quillmar writes (its writer reproduces these byte for byte from editor objects)
// read by the servers' own loader.
namespace {

std::string editorFile(const std::string& name) {
    std::ifstream in(std::string(EDITOR_DATA_DIR) + "/" + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Expected {
    std::string id;
    uint8_t kind;
    VARTYPE type;
    uint16_t address;
    uint16_t bit;
    uint16_t elements;
    uint32_t rights;
};

void expectTags(const LoadedConfig& c, const std::vector<Expected>& expected) {
    for (const Expected& e : expected) {
        auto tag = c.tag(e.id);
        ASSERT_TRUE(tag) << e.id;
        EXPECT_EQ(tag->kind(), e.kind) << e.id;
        EXPECT_EQ(tag->getNativeDatatype(), e.type) << e.id;
        EXPECT_EQ(tag->address(), e.address) << e.id;
        EXPECT_EQ(tag->bitNumber(), e.bit) << e.id;
        EXPECT_EQ(tag->elements(), e.elements) << e.id;
        EXPECT_EQ(tag->getAccessRights(), e.rights) << e.id;
    }
}

// The fifteen register types, ten addresses apart from `first`, as the editor examples hold.
std::vector<Expected> registerTypes(const std::string& branch, uint8_t kind, uint16_t first,
                                    uint32_t rights) {
    const VARTYPE types[] = {VT_BOOL,
                             VT_UI2,
                             VT_UI4,
                             VT_I2,
                             VT_I4,
                             VT_R4,
                             VT_ARRAY | VT_BOOL,
                             VT_ARRAY | VT_UI1,
                             VT_ARRAY | VT_UI2,
                             VT_ARRAY | VT_UI4,
                             VT_ARRAY | VT_I1,
                             VT_ARRAY | VT_I2,
                             VT_ARRAY | VT_I4,
                             VT_ARRAY | VT_R4,
                             VT_BSTR};
    std::vector<Expected> out;
    for (int i = 0; i < 15; ++i) {
        const VARTYPE type = types[i];
        const uint16_t bit = (type == VT_BOOL || type == (VT_ARRAY | VT_BOOL)) ? 5 : 0;
        const uint16_t elements = type == VT_BSTR ? 10 : (type & VT_ARRAY) ? 4 : 0;
        out.push_back({branch + ".T" + std::to_string(i + 1), kind, type,
                       static_cast<uint16_t>(first + 10 * i), bit, elements, rights});
    }
    return out;
}

} // namespace

TEST(EditorFiles, TheTcpExampleLoadsAsTheEditorDescribedIt) {
    LoadedConfig c(ServerKind::tarnvale);
    ASSERT_TRUE(c.load(editorFile("roundtrip_tarnvale.xml")));
    EXPECT_TRUE(c.messages().empty());
    EXPECT_TRUE(c.traces.empty()) << c.traces.front();

    EXPECT_EQ(c.config.modbusTypes.rowCount(), 4u);
    EXPECT_EQ(c.config.modbusTypes.singleWriteCode(5), 6);
    EXPECT_EQ(c.config.modbusTypes.readCode(4), 1);
    EXPECT_EQ(c.config.modbusTypes.readCode(3), 4);
    EXPECT_EQ(c.config.modbusTypes.readCode(2), 2);

    auto devices = c.devices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0]->tcpPort, 502);
    EXPECT_EQ(devices[1]->address, "127.0.0.2");
    EXPECT_EQ(devices[1]->unitId, 7u);
    EXPECT_EQ(devices[1]->timeoutMs, 2500u);
    EXPECT_EQ(devices[1]->tcpPort, 5020);

    expectTags(c, registerTypes("P1.Pumps", 5, 100, 3));
    expectTags(c, {{"P1.Pumps.Valves.Open", 4, VT_BOOL, 0, 0, 0, 3},
                   {"P1.Pumps.Valves.States", 4, VT_ARRAY | VT_BOOL, 8, 0, 16, 1},
                   {"P1.Level", 5, VT_R4, 0, 0, 0, 1},
                   {"P2.Counter", 5, VT_UI4, 40, 0, 0, 2}});
    auto states = c.tag("P1.Pumps.Valves.States");
    EXPECT_EQ(states->getProperty(kPropertyItemDescription)->getConstantValue().toUtf8(),
              "valve states & <alarms>")
        << "markup the editor escaped comes back as it was";
}

TEST(EditorFiles, TheSerialExampleLoadsAsTheEditorDescribedIt) {
    LoadedConfig c(ServerKind::rennick);
    ASSERT_TRUE(c.load(editorFile("roundtrip_rennick.xml")));
    EXPECT_TRUE(c.messages().empty());
    EXPECT_TRUE(c.traces.empty()) << c.traces.front();

    auto devices = c.devices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[1]->unitId, 2u);
    EXPECT_EQ(devices[0]->timeoutMs, 500u);
    EXPECT_EQ(devices[0]->silentMs, 20u);
    ASSERT_EQ(c.config.serialPorts.ports().size(), 1u);
    const auto& port = c.config.serialPorts.ports()[0];
    EXPECT_EQ(port.name, "COM1");
    EXPECT_EQ(port.baudRate, 19200u);
    EXPECT_EQ(port.parity, "NO");
    EXPECT_EQ(port.stopBits, 1);
    EXPECT_EQ(port.dataBits, 8);
    EXPECT_EQ(port.flowControl, "NONE");

    expectTags(c, registerTypes("R1.Inputs", 3, 200, 1));
    expectTags(c, {{"R1.Bits.Door", 2, VT_BOOL, 3, 0, 0, 1},
                   {"R1.Bits.Doors", 2, VT_ARRAY | VT_BOOL, 16, 0, 8, 1},
                   {"R1.Bits.Lamps", 4, VT_ARRAY | VT_BOOL, 32, 0, 12, 3},
                   {"R2.Fan", 4, VT_BOOL, 9, 0, 0, 3}});
}
