#include "ConfigFiles.h"
#include "EngineRig.h"
#include "engine/PolledTag.h"

#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::test;

namespace {

constexpr uint32_t kWait = 3000;

std::optional<LoggedRequest> lastWrite(const SimDevice& sim, int start) {
    std::optional<LoggedRequest> found;
    for (const LoggedRequest& r : sim.requests())
        if (r.data && r.start == start)
            found = r;
    return found;
}

std::vector<uint8_t> bytes(std::initializer_list<uint8_t> list) {
    return list;
}

} // namespace

TEST(Conversion, DeviceRegistersReadAsTypedValues) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator({"--unit", "1",
                                       "--set",  "hr:0=0x4148",
                                       "--set",  "hr:2=1",
                                       "--set",  "hr:3=2",
                                       "--set",  "hr:4=0xFFFF",
                                       "--set",  "hr:10=\"ABCDE\"",
                                       "--set",  "hr:20=0x0008",
                                       "--set",  "hr:21=0x0007",
                                       "--set",  "hr:30=0x4000",
                                       "--set",  "hr:31=0x0002"});
    rig.start("",
              plcFor(sim, "P1",
                     tagElement("Real", "HREGISTER VT_R4", "0") +
                         tagElement("Long", "HREGISTER VT_I4", "2") +
                         tagElement("Signed", "HREGISTER VT_I2", "4") +
                         tagElement("Unsigned", "HREGISTER VT_UI2", "4") +
                         tagElement("Text", "HREGISTER VT_BSTR", "10", "<elements>5</elements>") +
                         tagElement("BitSet", "HREGISTER VT_BOOL", "20", "<databit>3</databit>") +
                         tagElement("BitClear", "HREGISTER VT_BOOL", "21", "<databit>3</databit>") +
                         tagElement("Bits", "HREGISTER VT_BOOL ARRAY", "30",
                                    "<databit>14</databit><elements>4</elements>")));
    auto read = [&](const char* id) { return rig.client().readFromDevice(id, kWait); };
    ReadResult real = read("P1.Real");
    EXPECT_EQ(real.quality, 0xC0);
    EXPECT_FLOAT_EQ(real.value.asFloat(), 12.5f);
    EXPECT_EQ(read("P1.Long").value, Variant::i4(65538));
    EXPECT_EQ(read("P1.Signed").value, Variant::i2(-1));
    EXPECT_EQ(read("P1.Unsigned").value, Variant::ui2(65535));
    EXPECT_EQ(read("P1.Text").value.toUtf8(), "ABCDE");
    ReadResult bitSet = read("P1.BitSet");
    EXPECT_EQ(bitSet.value.type(), VT_BOOL);
    EXPECT_EQ(bitSet.value.asInt64(), 8) << "a set bit reads as its weight";
    EXPECT_FALSE(read("P1.BitClear").value.asBool());
    ReadResult bits = read("P1.Bits");
    ASSERT_EQ(bits.value.size(), 4u);
    EXPECT_TRUE(bits.value.at(0).asBool()) << "bit 14 of the first register";
    EXPECT_FALSE(bits.value.at(1).asBool());
    EXPECT_FALSE(bits.value.at(2).asBool());
    EXPECT_TRUE(bits.value.at(3).asBool()) << "bit 1 of the second register";
}

TEST(Conversion, ClientValuesReachTheDeviceInModbusOrder) {
    EngineRig rig;
    SimDevice& sim = rig.addSimulator({"--unit", "1", "--set", "hr:10=\"ABCDE\""});
    rig.start(datatypeRow("COIL", 1, 15, 0),
              plcFor(sim, "P1",
                     tagElement("Real", "HREGISTER VT_R4", "0") +
                         tagElement("Text", "HREGISTER VT_BSTR", "10", "<elements>5</elements>") +
                         tagElement("Coils", "COIL ARRAY", "0", "<elements>10</elements>")));
    EXPECT_EQ(rig.client().write("P1.Real", Variant::r4(12.5f), kWait).result, S_OK);
    auto real = lastWrite(sim, 0);
    ASSERT_TRUE(real);
    EXPECT_EQ(real->function, 16);
    EXPECT_EQ(*real->data, bytes({0x41, 0x48, 0x00, 0x00}));

    EXPECT_EQ(rig.client().write("P1.Text", Variant::bstr(u"XY"), kWait).result, S_OK);
    auto text = lastWrite(sim, 10);
    ASSERT_TRUE(text);
    EXPECT_EQ(*text->data, bytes({0x58, 0x59, 0x00, 0x00, 0x00, 0x00}))
        << "the five characters are zeroed before the new ones";
    auto tag = rig.tag("P1.Text");
    EXPECT_EQ(dynamic_cast<modbus::PolledTag&>(*tag).elements(), 5) << "the length stays";

    Variant allOn = Variant::array(VT_BOOL, 10);
    for (size_t i = 0; i < 10; ++i)
        allOn.at(i) = Variant::boolean(true);
    EXPECT_EQ(rig.client().write("P1.Coils", allOn, kWait).result, S_OK);
    auto coils = lastWrite(sim, 0);
    ASSERT_TRUE(coils);
    EXPECT_EQ(coils->function, 15);
    EXPECT_EQ(coils->count, 10);
    EXPECT_EQ(*coils->data, bytes({0xFF, 0x03}));
}
