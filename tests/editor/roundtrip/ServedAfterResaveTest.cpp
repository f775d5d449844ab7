// Files the servers serve, opened and saved again by Quillmar's core, serve the same plant:
// the same devices with the same settings and the same tags with the same settings.
#include "ConfigFiles.h"
#include "ServedPlant.h"

#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::test;

namespace {

// Loads `text`, re-saves it with the editor's core, loads the saved file; both loads must
// serve the same devices and tags. Returns the saved file's text.
std::string expectSamePlantAfterResave(format::ServerKind kind, const std::string& text) {
    const ServedPlant before = servedPlant(kind, text);
    const Resaved resaved = resavedByEditor(text);
    EXPECT_TRUE(resaved.saved) << ::testing::PrintToString(resaved.messages);
    const ServedPlant after = servedPlant(kind, resaved.text);
    EXPECT_EQ(firstDifference(before.devices, after.devices), "");
    EXPECT_EQ(firstDifference(before.tags, after.tags), "");
    return resaved.text;
}

const format::ServerKind tarnvale = format::ServerKind::tarnvale;
const format::ServerKind rennick = format::ServerKind::rennick;

} // namespace

TEST(ServedAfterResave, SettingsAFileLeavesOutKeepTheServersDefaults) {
    const std::string tag = tagElement("T", "HREGISTER VT_I2", "10");
    const std::string saved = expectSamePlantAfterResave(
        rennick, rtuConfig(editorDatatypeRows(),
                           rtuDevice("<name>R1</name><com>COM1</com>", tag) +
                               rtuDevice("<name>R2</name><com>COM2</com><parity></parity>", tag)));
    EXPECT_NE(saved.find("<baudrate>9600</baudrate>"), std::string::npos) << saved;
    EXPECT_NE(saved.find("<silent>10</silent>"), std::string::npos) << saved;
    EXPECT_NE(saved.find("<timeout>1000</timeout>"), std::string::npos) << saved;

    // A Tarnvale unit without id or timeout is served with 1 and 1000.
    const std::string tcp = expectSamePlantAfterResave(
        tarnvale, tcpConfig(editorDatatypeRows(), tcpDevice("P1", "10.0.0.1", tag)));
    EXPECT_NE(tcp.find("id=\"1\" timeout=\"1000\""), std::string::npos) << tcp;
}

TEST(ServedAfterResave, DatatypeTextIsReadAsTheServersReadIt) {
    const std::string saved = expectSamePlantAfterResave(
        tarnvale,
        tcpConfig(
            editorDatatypeRows(),
            tcpDevice("P1", "10.0.0.1",
                      tagElement("A", "HREGISTER  VT_I2 ARRAY", "10", "<elements>4</elements>") +
                          tagElement("B", "IREGISTER VT_R4 ", "20", "", "READ") +
                          tagElement("C", "COIL ARRAY", "30", "<elements>9</elements>") +
                          tagElement("D", " VT_UI4", "40"))));
    EXPECT_NE(saved.find("<elements>4</elements>"), std::string::npos) << saved;
}

TEST(ServedAfterResave, ARennickUnitServesOnlyItsLastTagsAndTheEditorSaysSo) {
    const std::string text =
        rtuConfig(editorDatatypeRows(), "\t\t<PLC><name>R1</name><com>COM1</com>\r\n"
                                        "<tags>" +
                                            tagElement("Ignored", "HREGISTER VT_I2", "1") +
                                            "</tags>\r\n"
                                            "<tags>" +
                                            tagElement("Served", "HREGISTER VT_I2", "2") +
                                            "</tags></PLC>\r\n");
    const std::string saved = expectSamePlantAfterResave(rennick, text);
    EXPECT_EQ(saved.find("Ignored"), std::string::npos) << saved;
    const Resaved resaved = resavedByEditor(text);
    ASSERT_EQ(resaved.messages.size(), 1u);
    EXPECT_NE(resaved.messages[0].find("line 11: PLC \"R1\": this <tags> is left out"),
              std::string::npos)
        << resaved.messages[0];
}

TEST(ServedAfterResave, TextThatIsNotTheDeclaredEncodingIsLeftOutAndWhatIsWrittenReadsBack) {
    // "caf\xE9" is ISO-8859-1 in a file declared UTF-8: the servers skip that tag.
    std::string text =
        tcpConfig(editorDatatypeRows(), tcpDevice("P1", "10.0.0.1",
                                                  tagElement("caf\xE9", "HREGISTER VT_I2", "1") +
                                                      tagElement("Lines", "HREGISTER VT_I2", "2") +
                                                      tagElement("Ok", "COIL", "3")));
    text.replace(text.find("ISO-8859-1"), 10, "UTF-8");
    const size_t comment = text.find("about Lines");
    text.insert(comment + 11, "&#13;&#10;two&#9;tabbed");
    const std::string once = expectSamePlantAfterResave(tarnvale, text);
    const Resaved resaved = resavedByEditor(text);
    ASSERT_EQ(resaved.messages.size(), 1u);
    EXPECT_NE(resaved.messages[0].find("line 12: text that is not UTF-8"), std::string::npos)
        << resaved.messages[0];
    // A second save writes the same bytes as the first.
    EXPECT_EQ(resavedByEditor(once).text, once);
    EXPECT_NE(once.find("about Lines&#13;&#10;two&#9;tabbed</comment>"), std::string::npos) << once;

    // A control character no XML file can carry is left out rather than written raw.
    text.insert(text.find("about Ok") + 8, "&#1;");
    const Resaved control = resavedByEditor(text);
    ASSERT_TRUE(control.saved);
    EXPECT_EQ(control.text.find('\x01'), std::string::npos);
    EXPECT_NE(control.text.find("about Ok</comment>"), std::string::npos) << control.text;
}

TEST(ServedAfterResave, FilesTheServersServeOpenWithWarningsWhereTheyReadOtherwise) {
    const std::string tcp = tcpConfig(
        editorDatatypeRows(),
        tcpDevice("P1", "192.168.001.010",
                  "<Pumps>" + tagElement("A", "HREGISTER VT_I2", "1") + "</Pumps>\r\n" + "<Pumps>" +
                      tagElement("B", "HREGISTER VT_I2", "2") +
                      tagElement("A", "HREGISTER VT_I4", "3") + "</Pumps>\r\n" +
                      tagElement("Bits", "COIL VT_BOOL ARRAY", "0", "<elements>40000</elements>"),
                  " timeout=\"3000000000\""));
    const std::string saved = expectSamePlantAfterResave(tarnvale, tcp);
    EXPECT_NE(saved.find("address = \"192.168.001.010\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("timeout=\"3000000000\""), std::string::npos) << saved;
    const Resaved resaved = resavedByEditor(tcp);
    ASSERT_EQ(resaved.messages.size(), 1u);
    for (const char* warning :
         {"line 10: unit \"P1\": address \"192.168.001.010\" is read by the servers as 192.168.1.8",
          "line 14: branch P1.Pumps appears again", "line 15: a second tag P1.Pumps.A is left out"})
        EXPECT_NE(resaved.messages[0].find(warning), std::string::npos) << resaved.messages[0];

    // Ports the dialog does not offer are served (the registry may map them) and kept.
    const std::string tag = tagElement("T", "HREGISTER VT_I2", "1");
    const std::string rtu =
        rtuConfig(editorDatatypeRows(), rtuDevice("<name>R1</name><com>COM300</com>", tag) +
                                            rtuDevice("<name>R2</name><com>PLCLINE</com>", tag));
    const std::string serial = expectSamePlantAfterResave(rennick, rtu);
    EXPECT_NE(serial.find("<com>PLCLINE</com>"), std::string::npos) << serial;
}

// The servers serve the tags of two units of one name in one folder, each tag polled from its
// own unit, and a tag both units name from the first. The editor keeps both units, the second
// under a shown name, and saves it under the name the file gave it.
TEST(ServedAfterResave, TwoUnitsOfOneNameAreBothKeptAndSavedAsTheServersServeThem) {
    const std::string tcp =
        tcpConfig(editorDatatypeRows(),
                  tcpDevice("P1", "10.0.0.1",
                            tagElement("A", "HREGISTER VT_I2", "1") + "<Pumps>" +
                                tagElement("C", "HREGISTER VT_I2", "3") + "</Pumps>\r\n") +
                      tcpDevice("P1", "10.0.0.2",
                                tagElement("B", "HREGISTER VT_I2", "2") +
                                    tagElement("A", "HREGISTER VT_I4", "9") + "<Pumps>" +
                                    tagElement("D", "HREGISTER VT_I2", "4") + "</Pumps>\r\n",
                                " port=\"5020\""));
    ASSERT_EQ(servedPlant(tarnvale, tcp).devices.size(), 2u);
    const std::string saved = expectSamePlantAfterResave(tarnvale, tcp);
    EXPECT_EQ(saved.find("P1 (2)"), std::string::npos) << saved;
    const Resaved resaved = resavedByEditor(tcp);
    ASSERT_EQ(resaved.messages.size(), 1u);
    EXPECT_NE(resaved.messages[0].find("line 17: a second unit named \"P1\" is shown as \"P1 "
                                       "(2)\" and saved as \"P1\""),
              std::string::npos)
        << resaved.messages[0];

    const std::string tag = tagElement("T", "HREGISTER VT_I2", "1");
    const std::string rtu =
        rtuConfig(editorDatatypeRows(), rtuDevice("<name>R1</name><com>COM1</com>", tag) +
                                            rtuDevice("<name>R1</name><com>COM2</com><id>5</id>",
                                                      tagElement("U", "HREGISTER VT_I2", "2")));
    ASSERT_EQ(servedPlant(rennick, rtu).devices.size(), 2u);
    const std::string serial = expectSamePlantAfterResave(rennick, rtu);
    EXPECT_EQ(serial.find("R1 (2)"), std::string::npos) << serial;
}
