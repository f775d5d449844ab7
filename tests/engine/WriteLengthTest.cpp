// Writes never reach registers that are not the tag's: the configured length is fixed.
#include "ConfigFiles.h"
#include "EngineRig.h"
#include "engine/PolledTag.h"

#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::test;

namespace {

constexpr uint32_t kWait = 3000;

std::vector<LoggedRequest> writesOf(const SimDevice& sim) {
    std::vector<LoggedRequest> found;
    for (const LoggedRequest& r : sim.requests())
        if (r.data)
            found.push_back(r);
    return found;
}

Variant i2Array(size_t n) {
    Variant value = Variant::array(VT_I2, n);
    for (size_t i = 0; i < n; ++i)
        value.at(i) = Variant::i2(static_cast<int16_t>(i + 1));
    return value;
}

void expectRefusedAsOutOfRange(const WriteResult& result) {
    EXPECT_EQ(result.result, E_FAIL);
    EXPECT_TRUE(result.hasQuality);
    EXPECT_EQ(result.quality, Quality::kBadConfigError);
}

} // namespace

TEST(WriteLength, ALongerStringOrAnArrayOfAnotherLengthIsRefusedWithNothingOnTheWire) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator({"--unit", "1", "--set", "hr:2=0x1234"});
    rig.start("", plcFor(sim, "P1",
                         tagElement("Code", "HREGISTER VT_BSTR", "0", "<elements>4</elements>") +
                             tagElement("Guard", "HREGISTER VT_I2", "2", {}, "READ") +
                             tagElement("Trio", "HREGISTER VT_I2 ARRAY", "10",
                                        "<elements>3</elements>")));
    expectRefusedAsOutOfRange(
        rig.client().write("P1.Code", Variant::bstr(std::u16string(60000, u'A')), kWait));
    expectRefusedAsOutOfRange(rig.client().write("P1.Code", Variant::bstr(u"ABCDE"), kWait));
    expectRefusedAsOutOfRange(rig.client().write("P1.Trio", i2Array(5), kWait));
    expectRefusedAsOutOfRange(rig.client().write("P1.Trio", i2Array(2), kWait));
    EXPECT_TRUE(writesOf(sim).empty()) << "nothing went on the wire";

    EXPECT_EQ(rig.client().readFromDevice("P1.Guard", kWait).value, Variant::i2(0x1234));
    ReadResult trio = rig.client().readFromDevice("P1.Trio", kWait);
    EXPECT_EQ(trio.quality, 0xC0) << "the array keeps its configured three registers";
    EXPECT_EQ(trio.value.size(), 3u);
    EXPECT_EQ(rig.client().write("P1.Trio", i2Array(3), kWait).result, S_OK);
}

TEST(WriteLength, AShorterStringIsZeroPaddedAndTheTagKeepsItsLength) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator();
    rig.start("", plcFor(sim, "P1",
                         tagElement("Text", "HREGISTER VT_BSTR", "10", "<elements>20</elements>")));
    EXPECT_EQ(rig.client().write("P1.Text", Variant::bstr(u"XY"), kWait).result, S_OK);
    auto writes = writesOf(sim);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].count, 10) << "all ten registers of the tag";
    std::vector<uint8_t> expected(20, 0);
    expected[0] = 'X';
    expected[1] = 'Y';
    EXPECT_EQ(*writes[0].data, expected);
    EXPECT_EQ(dynamic_cast<modbus::PolledTag&>(*rig.tag("P1.Text")).elements(), 20);

    // Another writer (the PLC, here a second write) puts a longer text there.
    EXPECT_EQ(rig.client().write("P1.Text", Variant::bstr(u"ABCDEFGHIJ"), kWait).result, S_OK);
    EXPECT_EQ(rig.client().readFromDevice("P1.Text", kWait).value.toUtf8().substr(0, 10),
              "ABCDEFGHIJ");
}

TEST(WriteLength, CharactersARegisterByteCannotCarryAreRefused) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator();
    rig.start("", plcFor(sim, "P1",
                         tagElement("Text", "HREGISTER VT_BSTR", "10", "<elements>4</elements>")));
    expectRefusedAsOutOfRange(rig.client().write("P1.Text", Variant::bstr(u"5\u20AC"), kWait));
    EXPECT_TRUE(writesOf(sim).empty());
    EXPECT_EQ(rig.client().write("P1.Text", Variant::bstr(u"5\u00B0C"), kWait).result, S_OK)
        << "ISO-8859-1 characters still go out as their byte";
    auto writes = writesOf(sim);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(*writes[0].data, (std::vector<uint8_t>{'5', 0xB0, 'C', 0x00}));
}
