// Byte orders and scaling as the servers read them: the device default and each tag's own
// order, scaling bounds and unit. A setting that would make a tag deliver a wrong value skips
// the tag (or, for a device's order, the device) with a CFG line at the element's line, never
// a silent default.
#include "ConfigFiles.h"
#include "LoadedConfig.h"
#include "NumberedFile.h"
#include "toolkit/EngineeringUnits.h"

#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::test;

namespace {

std::string setting(const char* element, const std::string& value) {
    return std::string("<") + element + ">" + value + "</" + element + ">";
}

std::string scaling(const std::string& rawLow, const std::string& rawHigh, const std::string& euLow,
                    const std::string& euHigh) {
    return setting("rawlow", rawLow) + setting("rawhigh", rawHigh) + setting("eulow", euLow) +
           setting("euhigh", euHigh);
}

// A tag written over several lines, so that each setting has a line of its own: the tag's
// start is marked `mark`, and the line of `markedSetting` (if any) `mark` + ".setting".
void addTag(NumberedFile& f, const std::string& mark, const std::string& name,
            const std::string& datatype, const std::vector<std::string>& settings,
            size_t markedSetting = SIZE_MAX) {
    f.add("<tag><name>" + name + "</name><comment></comment><address>0</address>", mark);
    f.add("<datatype>" + datatype + "</datatype><accessrights>READWRITE</accessrights>" +
          "<elements>4</elements>");
    for (size_t at = 0; at < settings.size(); ++at)
        f.add(settings[at], at == markedSetting ? mark + ".setting" : std::string());
    f.add("</tag>");
}

} // namespace

TEST(ValueSettings, EachBadSettingSkipsItsTagWithACfgLineAtItsElement) {
    DefaultTraceLevel level;
    NumberedFile f("VornModBusTcpIpCfg");
    f.add("\t<MODBUS>");
    f.add(editorDatatypeRows() + "\t</MODBUS>\r\n\t<OPC_DA>");
    f.add("\t\t<PLC name=\"P1\" address = \"127.0.0.1\" byteorder=\"CDAB\"><tags>");
    addTag(f, "Unknown", "Unknown", "HREGISTER VT_R4", {setting("byteorder", "CDBA")}, 0);
    addTag(f, "LowerCase", "LowerCase", "HREGISTER VT_R4", {setting("byteorder", "cdab")}, 0);
    addTag(f, "OrderOnBit", "OrderOnBit", "HREGISTER VT_BOOL", {setting("byteorder", "BADC")}, 0);
    addTag(f, "OrderOnCoil", "OrderOnCoil", "COIL", {setting("byteorder", "ABCD")}, 0);
    addTag(f, "EqualRaw", "EqualRaw", "HREGISTER VT_I2",
           {setting("rawlow", "5"), setting("rawhigh", "5.0"),
            setting("eulow", "0") + setting("euhigh", "1")},
           1);
    addTag(f, "EqualEu", "EqualEu", "HREGISTER VT_I2",
           {setting("rawlow", "0"), setting("rawhigh", "10"), setting("eulow", "2"),
            setting("euhigh", "2")},
           3);
    addTag(f, "Comma", "Comma", "HREGISTER VT_I2",
           {setting("rawlow", "0"), setting("rawhigh", "1,5"), setting("eulow", "0"),
            setting("euhigh", "1")},
           1);
    addTag(f, "Word", "Word", "HREGISTER VT_I2",
           {setting("rawlow", "0"), setting("rawhigh", "10"), setting("eulow", "zero"),
            setting("euhigh", "1")},
           2);
    addTag(f, "ThreeBounds", "ThreeBounds", "HREGISTER VT_I2",
           {setting("rawlow", "0"), setting("rawhigh", "10"), setting("euhigh", "1")});
    addTag(f, "ScaledText", "ScaledText", "HREGISTER VT_BSTR", {scaling("0", "1", "0", "10")}, 0);
    addTag(f, "ScaledBit", "ScaledBit", "HREGISTER VT_BOOL", {scaling("0", "1", "0", "10")}, 0);
    addTag(f, "Good", "Good", "HREGISTER VT_I2", {scaling("0", "16384", "0", "100")});
    f.add("\t\t</tags></PLC>");
    f.add("\t\t<PLC name=\"P2\" address = \"127.0.0.2\" byteorder=\"LOW\">", "BadDevice");
    f.add("\t\t<tags>" + tagElement("T", "HREGISTER VT_R4", "0") + "</tags></PLC>");
    f.add("\t</OPC_DA>");
    f.add("</VornModBusTcpIpCfg>");

    LoadedConfig c(ServerKind::tarnvale);
    ASSERT_TRUE(c.load(f.text()));
    const std::vector<std::pair<const char*, const char*>> skipped = {
        {"Unknown", "byteorder \"CDBA\" is not one of ABCD, CDAB, BADC, DCBA"},
        {"LowerCase", "byteorder \"cdab\" is not one of"},
        {"OrderOnBit", "byteorder does not apply to a bit"},
        {"OrderOnCoil", "byteorder does not apply to a bit"},
        {"EqualRaw", "rawlow and rawhigh are equal (5)"},
        {"EqualEu", "eulow and euhigh are equal (2)"},
        {"Comma", "rawhigh \"1,5\" is not a number"},
        {"Word", "eulow \"zero\" is not a number"},
        {"ScaledText", "scaling applies only to numbers in registers"},
        {"ScaledBit", "scaling applies only to numbers in registers"},
    };
    for (const auto& [name, text] : skipped) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(c.tag(std::string("P1.") + name)) << "the tag is skipped, not defaulted";
        expectOneWarningAt(c, std::string("tag \"P1.") + name + "\" skipped: " + text,
                           f.lineOf(std::string(name) + ".setting"));
    }
    // Some bounds but not all: the tag's own line.
    EXPECT_FALSE(c.tag("P1.ThreeBounds"));
    expectOneWarningAt(c,
                       "tag \"P1.ThreeBounds\" skipped: scaling needs all four of rawlow, "
                       "rawhigh, eulow, euhigh; missing: eulow",
                       f.lineOf("ThreeBounds"));
    // A device whose default order is unknown would make every tag of it wrong.
    ASSERT_EQ(c.devices().size(), 1u);
    EXPECT_FALSE(c.tag("P2.T"));
    expectOneWarningAt(c, "PLC \"P2\" skipped with its tags: byteorder \"LOW\" is not one of",
                       f.lineOf("BadDevice"));

    ASSERT_TRUE(c.tag("P1.Good"));
    EXPECT_EQ(c.tag("P1.Good")->getNativeDatatype(), VT_R8);
}

TEST(ValueSettings, TagsTakeTheirDevicesOrderUnlessTheyNameTheirOwn) {
    const std::string tags =
        tagElement("Power", "IREGISTER VT_R4", "0") +
        tagElement("Energy", "IREGISTER VT_UI8", "2", setting("byteorder", "ABCD")) +
        tagElement("Name", "IREGISTER VT_BSTR", "6",
                   "<elements>8</elements>" + setting("byteorder", "BADC")) +
        tagElement("Alarm", "IREGISTER VT_BOOL", "10", "<databit>3</databit>");
    LoadedConfig tcp(ServerKind::tarnvale);
    ASSERT_TRUE(tcp.load(tcpConfig(editorDatatypeRows(),
                                   tcpDevice("Meter", "127.0.0.1", tags, " byteorder=\"CDAB\"") +
                                       tcpDevice("Plain", "127.0.0.2", tags))));
    EXPECT_EQ(tcp.devices()[0]->byteOrder, modbus::ByteOrder::cdab);
    EXPECT_EQ(tcp.tag("Meter.Power")->byteOrder(), modbus::ByteOrder::cdab);
    EXPECT_EQ(tcp.tag("Meter.Energy")->byteOrder(), modbus::ByteOrder::abcd);
    EXPECT_EQ(tcp.tag("Meter.Name")->byteOrder(), modbus::ByteOrder::badc);
    EXPECT_TRUE(tcp.tag("Meter.Alarm")) << "a bit takes no order, its device's included";
    EXPECT_EQ(tcp.tag("Plain.Power")->byteOrder(), modbus::ByteOrder::abcd) << "without: ABCD";

    LoadedConfig rtu(ServerKind::rennick);
    ASSERT_TRUE(rtu.load(rtuConfig(
        editorDatatypeRows(),
        rtuDevice(rtuSettings("Drive", "COM1", 9600) + setting("byteorder", "DCBA"), tags) +
            rtuDevice(rtuSettings("Bad", "COM2", 9600) + setting("byteorder", "2143"), tags))));
    ASSERT_EQ(rtu.devices().size(), 1u);
    EXPECT_EQ(rtu.tag("Drive.Power")->byteOrder(), modbus::ByteOrder::dcba);
    EXPECT_EQ(rtu.tag("Drive.Energy")->byteOrder(), modbus::ByteOrder::abcd);
    EXPECT_FALSE(rtu.tag("Bad.Power"));
    EXPECT_EQ(
        tracesWith(rtu, "PLC \"Bad\" skipped with its port and tags: byteorder \"2143\"").size(),
        1u);
}

TEST(ValueSettings, AScaledTagIsADoubleWithItsEngineeringRangeAndUnit) {
    const std::string tags =
        tagElement("Speed", "HREGISTER VT_UI2", "0",
                   scaling(" 0 ", "16384", "0", "100") + setting("units", "%")) +
        tagElement("Currents", "IREGISTER VT_I2 ARRAY", "1",
                   "<elements>3</elements>" + scaling("0", "10", "0", "1.0e0") +
                       setting("units", "A")) +
        tagElement("Unitless", "HREGISTER VT_I4", "4", scaling("-1", "1", "-0.5", "0.5")) +
        tagElement("Plain", "HREGISTER VT_I8", "6") +
        tagElement("LabelOnly", "HREGISTER VT_I2", "10", setting("units", "kWh"));
    LoadedConfig c(ServerKind::tarnvale);
    ASSERT_TRUE(c.load(tcpConfig(editorDatatypeRows(), tcpDevice("D", "127.0.0.1", tags))));

    const auto speed = c.tag("D.Speed");
    ASSERT_TRUE(speed);
    EXPECT_EQ(speed->getNativeDatatype(), VT_R8) << "clients see a Double";
    EXPECT_EQ(speed->registerType(), VT_UI2) << "the device holds the raw UInt16";
    ASSERT_TRUE(speed->scaling());
    EXPECT_EQ(speed->scaling()->rawHigh, 16384.0);
    const std::optional<EngineeringUnits> units = engineeringUnitsOf(*speed);
    ASSERT_TRUE(units);
    EXPECT_EQ(units->low, 0.0);
    EXPECT_EQ(units->high, 100.0);
    EXPECT_EQ(units->units, "%");

    EXPECT_EQ(c.tag("D.Currents")->getNativeDatatype(), VT_ARRAY | VT_R8);
    EXPECT_EQ(c.tag("D.Currents")->getCache()->getValue().size(), 3u);
    EXPECT_EQ(engineeringUnitsOf(*c.tag("D.Unitless"))->units, "");

    EXPECT_EQ(c.tag("D.Plain")->getNativeDatatype(), VT_I8);
    EXPECT_FALSE(c.tag("D.Plain")->scaling());
    EXPECT_FALSE(engineeringUnitsOf(*c.tag("D.Plain")));
    // A unit without scaling is not used, and the server says so.
    EXPECT_EQ(c.tag("D.LabelOnly")->getNativeDatatype(), VT_I2);
    EXPECT_FALSE(engineeringUnitsOf(*c.tag("D.LabelOnly")));
    EXPECT_EQ(tracesWith(c, "units are served only with scaling").size(), 1u);
}

TEST(ValueSettings, SixtyFourBitTypesTakeFourRegistersUpToTheLastAddress) {
    const std::string tags =
        tagElement("Last", "HREGISTER VT_R8", "65532") +
        tagElement("Over", "IREGISTER VT_I8", "65533") +
        tagElement("Array", "HREGISTER VT_UI8 ARRAY", "100", "<elements>2</elements>");
    LoadedConfig c(ServerKind::tarnvale);
    ASSERT_TRUE(c.load(tcpConfig(editorDatatypeRows(), tcpDevice("D", "127.0.0.1", tags))));
    EXPECT_EQ(c.tag("D.Last")->getNativeDatatype(), VT_R8);
    EXPECT_FALSE(c.tag("D.Over")) << "registers 65533 to 65536 do not exist";
    EXPECT_EQ(c.tag("D.Array")->getNativeDatatype(), VT_ARRAY | VT_UI8);
    EXPECT_EQ(modbus::unitCount(c.tag("D.Array")->shape()), 8u);
}
