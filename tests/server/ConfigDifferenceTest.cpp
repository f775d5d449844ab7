// The difference a reload applies, between two configurations loaded as a server loads them.
#include "server/ConfigDifference.h"

#include "ConfigFiles.h"
#include "LoadedConfig.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::test;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

std::string plant(const std::string& p1Attributes, const std::string& p1Tags,
                  const std::string& more = {}) {
    return tcpConfig(editorDatatypeRows(),
                     tcpDevice("P1", "10.0.0.1", p1Tags, p1Attributes) +
                         tcpDevice("P2", "10.0.0.2", tagElement("Flow", "HREGISTER VT_I2", "7")) +
                         more);
}

const std::string kTags = tagElement("Level", "HREGISTER VT_I2", "1") +
                          tagElement("Speed", "HREGISTER VT_R4", "2") +
                          tagElement("Run", "COIL VT_BOOL", "3");

ConfigDifference differenceOf(ServerKind kind, const std::string& before,
                              const std::string& after) {
    LoadedConfig running(kind);
    LoadedConfig loaded(kind);
    EXPECT_TRUE(running.load(before));
    EXPECT_TRUE(loaded.load(after));
    return compareConfigurations(running.config, *running.root, loaded.config, *loaded.root);
}

} // namespace

TEST(ConfigDifference, TheSameFileChangesNothing) {
    const auto same = differenceOf(ServerKind::tarnvale, plant("", kTags), plant("", kTags));
    EXPECT_TRUE(same.isEmpty()) << same.describe();
    EXPECT_EQ(same.unchangedTags, 4u);
    EXPECT_EQ(same.describe(), "nothing changed");
}

TEST(ConfigDifference, TagsAddedRemovedAndChangedByEveryFieldOfTheirDefinition) {
    const std::string after =
        tagElement("Level", "HREGISTER VT_I2", "11") + // address
        tagElement("Speed", "HREGISTER VT_R4", "2", "<byteorder>CDAB</byteorder>") +
        tagElement("Run", "COIL VT_BOOL", "3", {}, "READ") + // access rights
        tagElement("Temp", "HREGISTER VT_I2", "9",
                   "<rawlow>0.0</rawlow><rawhigh>100.0</rawhigh><eulow>0.0</eulow>"
                   "<euhigh>10.0</euhigh>");
    const auto d = differenceOf(ServerKind::tarnvale, plant("", kTags), plant("", after));
    EXPECT_THAT(d.addedTags, ElementsAre("P1.Temp"));
    EXPECT_THAT(d.changedTags, ElementsAre("P1.Level", "P1.Speed", "P1.Run"));
    EXPECT_THAT(d.removedTags, IsEmpty());
    EXPECT_EQ(d.unchangedTags, 1u) << "P2.Flow";
    EXPECT_FALSE(d.devicesChanged());

    const auto removed = differenceOf(ServerKind::tarnvale, plant("", kTags),
                                      plant("", tagElement("Level", "HREGISTER VT_I2", "1")));
    EXPECT_THAT(removed.removedTags, ElementsAre("P1.Speed", "P1.Run"));
    EXPECT_EQ(removed.describe(), "2 tags removed");
}

TEST(ConfigDifference, ScalingAndTypeChangesAreChanges) {
    const std::string scaled = tagElement("Level", "HREGISTER VT_I2", "1",
                                          "<rawlow>0.0</rawlow><rawhigh>100.0</rawhigh>"
                                          "<eulow>0.0</eulow><euhigh>10.0</euhigh>");
    const std::string rescaled = tagElement("Level", "HREGISTER VT_I2", "1",
                                            "<rawlow>0.0</rawlow><rawhigh>100.0</rawhigh>"
                                            "<eulow>0.0</eulow><euhigh>20.0</euhigh>");
    EXPECT_THAT(
        differenceOf(ServerKind::tarnvale, plant("", scaled), plant("", rescaled)).changedTags,
        ElementsAre("P1.Level"));
    EXPECT_TRUE(differenceOf(ServerKind::tarnvale, plant("", scaled), plant("", scaled)).isEmpty());
    EXPECT_THAT(differenceOf(ServerKind::tarnvale, plant("", kTags),
                             plant("", tagElement("Level", "HREGISTER VT_I4", "1") +
                                           tagElement("Speed", "HREGISTER VT_R4", "2") +
                                           tagElement("Run", "COIL VT_BOOL", "3")))
                    .changedTags,
                ElementsAre("P1.Level"));
}

TEST(ConfigDifference, AChangedDeviceChangesItsTagsOnlyAndOthersStay) {
    const auto d =
        differenceOf(ServerKind::tarnvale, plant("", kTags),
                     plant(" timeout=\"900\" maxregisters=\"32\"", kTags,
                           tcpDevice("P3", "10.0.0.3", tagElement("X", "HREGISTER VT_I2", "1"))));
    EXPECT_THAT(d.changedDevices, ElementsAre("P1"));
    EXPECT_THAT(d.addedDevices, ElementsAre("P3"));
    EXPECT_THAT(d.changedTags, ElementsAre("P1.Level", "P1.Speed", "P1.Run"))
        << "they are to be read through the device's new settings";
    EXPECT_THAT(d.addedTags, ElementsAre("P3.X"));
    EXPECT_EQ(d.unchangedTags, 1u) << "P2's tag stays as it is";
    EXPECT_EQ(d.describe(), "1 device added, 1 device changed, 1 tag added, 3 tags changed");

    const auto gone =
        differenceOf(ServerKind::tarnvale, plant("", kTags),
                     tcpConfig(editorDatatypeRows(), tcpDevice("P1", "10.0.0.1", kTags)));
    EXPECT_THAT(gone.removedDevices, ElementsAre("P2"));
    EXPECT_THAT(gone.removedTags, ElementsAre("P2.Flow"));
}

TEST(ConfigDifference, FunctionCodeRowsAreCompared) {
    const std::string devices = tcpDevice("P1", "10.0.0.1", kTags);
    EXPECT_TRUE(
        differenceOf(ServerKind::tarnvale, tcpConfig(editorDatatypeRows(), devices),
                     tcpConfig(datatypeRow("HREGISTER", 9, 9, 9) + editorDatatypeRows(), devices))
            .isEmpty())
        << "a row a later one overrides changes nothing";
    const auto d = differenceOf(ServerKind::tarnvale, tcpConfig("", devices),
                                tcpConfig(datatypeRow("HREGISTER", 4, 16, 6), devices));
    EXPECT_TRUE(d.functionCodesChanged);
    EXPECT_FALSE(d.tagsChanged());
}

TEST(ConfigDifference, SerialLineSettingsApartFromTheirDevices) {
    const std::string tags = tagElement("Level", "HREGISTER VT_I2", "1");
    const auto tagsOnly = differenceOf(
        ServerKind::rennick, rtuConfig("", rtuDevice(rtuSettings("R1", "COM1", 9600), tags)),
        rtuConfig("", rtuDevice(rtuSettings("R1", "COM1", 9600),
                                tags + tagElement("Extra", "HREGISTER VT_I2", "2"))));
    EXPECT_FALSE(tagsOnly.devicesChanged());
    EXPECT_THAT(tagsOnly.addedTags, ElementsAre("R1.Extra"));

    const auto baud = differenceOf(
        ServerKind::rennick, rtuConfig("", rtuDevice(rtuSettings("R1", "COM1", 9600), tags)),
        rtuConfig("", rtuDevice(rtuSettings("R1", "COM1", 19200), tags)));
    EXPECT_THAT(baud.changedLines, ElementsAre("COM1"));
    EXPECT_TRUE(baud.devicesChanged());
    EXPECT_EQ(baud.unchangedTags, 1u) << "the device itself is the same";
}
