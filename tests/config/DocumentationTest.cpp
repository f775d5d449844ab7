// The configuration reference and the example files, loaded with the real loader so that
// they cannot drift from what the servers read: every XML example of docs/configuration.md
// loads without a warning (or, marked "xml warns", with one), and the complete examples use
// every register kind, type, access right and the device settings.
#include "ConfigFiles.h"
#include "DocumentSnippets.h"
#include "LoadedConfig.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

using namespace vorn;
using namespace vorn::test;

namespace {

std::string sourceFile(const std::string& relative) {
    std::ifstream file(std::string(VORN_SOURCE_DIR) + "/" + relative, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

size_t tagCount(const SODaSNode& branch) {
    size_t count = branch.leafCount();
    for (const SOCmnPointer<SODaSNode>& child : branch.getBranches())
        count += tagCount(*child);
    return count;
}

} // namespace

TEST(Documentation, EveryXmlExampleOfTheReferenceLoadsAsItSays) {
    const std::string reference = sourceFile("docs/configuration.md");
    ASSERT_FALSE(reference.empty());
    const auto snippets = xmlSnippets(reference);
    ASSERT_GE(snippets.size(), 8u) << "the reference shows its examples in ```xml blocks";
    for (const Snippet& snippet : snippets) {
        SCOPED_TRACE("docs/configuration.md line " + std::to_string(snippet.line));
        ServerKind kind;
        const std::string file = wholeFile(snippet.text, kind);
        LoadedConfig c(kind);
        EXPECT_TRUE(c.load(file));
        EXPECT_TRUE(c.messages().empty());
        EXPECT_GE(c.devices().size(), 1u);
        EXPECT_GE(tagCount(*c.root), 1u);
        if (snippet.warns) {
            EXPECT_EQ(c.traces.size(), 1u) << "an example of a mistake gives one warning";
        } else {
            for (const std::string& line : c.traces)
                ADD_FAILURE() << line;
        }
    }
}

TEST(Documentation, TheCompleteExamplesLoadWithoutAWarningAndUseEveryFeature) {
    struct Example {
        const char* path;
        ServerKind kind;
        size_t devices;
    };
    for (const Example& example : {Example{"examples/Tarnvale.xml", ServerKind::tarnvale, 2},
                                   Example{"examples/Rennick.xml", ServerKind::rennick, 3}}) {
        SCOPED_TRACE(example.path);
        LoadedConfig c(example.kind);
        ASSERT_TRUE(c.load(sourceFile(example.path)));
        for (const std::string& line : c.traces)
            ADD_FAILURE() << line;
        ASSERT_EQ(c.devices().size(), example.devices);
        EXPECT_EQ(c.config.modbusTypes.rowCount(), 4u);

        std::set<uint8_t> kinds;
        std::set<VARTYPE> types;
        std::set<uint32_t> rights;
        bool nested = false;
        std::function<void(const SODaSNode&, int)> walk = [&](const SODaSNode& branch, int depth) {
            for (const SOCmnPointer<SODaSTag>& leaf : branch.getLeaves()) {
                auto tag = dynamic_cast<const ModbusTag*>(leaf.get());
                ASSERT_TRUE(tag);
                kinds.insert(tag->kind());
                types.insert(tag->getNativeDatatype());
                rights.insert(tag->getAccessRights());
            }
            for (const SOCmnPointer<SODaSNode>& child : branch.getBranches()) {
                nested = nested || depth >= 2;
                walk(*child, depth + 1);
            }
        };
        walk(*c.root, 0);
        EXPECT_EQ(kinds.size(), 4u) << "every register kind";
        EXPECT_EQ(rights, (std::set<uint32_t>{1, 2, 3})) << "every access right";
        EXPECT_TRUE(types.count(VT_BOOL) && types.count(VT_ARRAY | VT_BOOL));
        EXPECT_TRUE(types.count(VT_BSTR) && types.count(VT_R4) && types.count(VT_UI2));
        if (example.kind == ServerKind::tarnvale) {
            EXPECT_TRUE(nested) << "a branch inside a branch";
            for (VARTYPE t : {VT_I2, VT_UI2, VT_I4, VT_UI4, VT_R4, VT_BSTR, VT_BOOL})
                EXPECT_TRUE(types.count(t)) << vartypeName(t);
            for (VARTYPE t : {VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_R4, VT_BOOL})
                EXPECT_TRUE(types.count(VT_ARRAY | t)) << vartypeName(VT_ARRAY | t);
            EXPECT_EQ(c.devices()[1]->tcpPort, 1502) << "the port attribute";
        } else {
            EXPECT_EQ(c.config.serialPorts.ports().size(), 2u) << "two devices share COM1";
        }
    }
}

TEST(Documentation, TheMeterAndDriveExamplesLoadWithTheirOrdersAndScaling) {
    LoadedConfig meter(ServerKind::tarnvale);
    ASSERT_TRUE(meter.load(sourceFile("examples/EnergyMeter.xml")));
    for (const std::string& line : meter.traces)
        ADD_FAILURE() << line;
    ASSERT_EQ(meter.devices().size(), 1u);
    EXPECT_EQ(meter.devices()[0]->byteOrder, modbus::ByteOrder::cdab);
    EXPECT_EQ(meter.tag("Meter.Voltage")->byteOrder(), modbus::ByteOrder::cdab);
    EXPECT_EQ(meter.tag("Meter.Energy")->getNativeDatatype(), VT_UI8);
    EXPECT_EQ(meter.tag("Meter.EnergyExported")->getNativeDatatype(), VT_R8);
    EXPECT_EQ(meter.tag("Meter.Serial")->byteOrder(), modbus::ByteOrder::badc);
    EXPECT_EQ(meter.tag("Meter.Status")->byteOrder(), modbus::ByteOrder::abcd);
    EXPECT_EQ(meter.tag("Meter.Current")->getNativeDatatype(), VT_R8);

    LoadedConfig drive(ServerKind::rennick);
    ASSERT_TRUE(drive.load(sourceFile("examples/Drive.xml")));
    for (const std::string& line : drive.traces)
        ADD_FAILURE() << line;
    const auto setpoint = drive.tag("Drive.SpeedSetpoint");
    ASSERT_TRUE(setpoint);
    EXPECT_EQ(setpoint->getNativeDatatype(), VT_R8);
    EXPECT_EQ(setpoint->getAccessRights(), AccessRights::kReadable | AccessRights::kWritable);
    EXPECT_EQ(setpoint->scaling()->rawHigh, 16384.0);
    EXPECT_EQ(drive.tag("Drive.Hours")->byteOrder(), modbus::ByteOrder::cdab);
}
