#include "ConfigFiles.h"
#include "LoadedConfig.h"
#include "server/ModbusGroupItem.h"
#include "toolkit/DaClient.h"

#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::test;

TEST(AddressSpace, InitialCachesAreUncertainWithTheConfiguredShape) {
    LoadedConfig c(ServerKind::tarnvale);
    c.load(tcpConfig(
        "", tcpDevice("P1", "127.0.0.1",
                      tagElement("Arr", "HREGISTER VT_I2 ARRAY", "0", "<elements>10</elements>") +
                          tagElement("Real", "HREGISTER VT_R4", "10") +
                          tagElement("Text", "HREGISTER VT_BSTR", "12", "<elements>5</elements>") +
                          tagElement("Coils", "COIL ARRAY", "0", "<elements>3</elements>"))));
    CacheSnapshot arr = c.tag("P1.Arr")->getCache()->snapshot();
    EXPECT_EQ(arr.quality, 0x40);
    ASSERT_EQ(arr.value.type(), VT_ARRAY | VT_I2);
    ASSERT_EQ(arr.value.size(), 10u);
    for (const Variant& e : arr.value.elements())
        EXPECT_EQ(e, Variant::i2(0));

    CacheSnapshot real = c.tag("P1.Real")->getCache()->snapshot();
    EXPECT_TRUE(real.value.isEmpty());
    EXPECT_EQ(real.quality, 0x40);

    CacheSnapshot text = c.tag("P1.Text")->getCache()->snapshot();
    EXPECT_EQ(text.value.type(), VT_BSTR);
    EXPECT_EQ(text.value.asString().size(), 5u);

    CacheSnapshot coils = c.tag("P1.Coils")->getCache()->snapshot();
    EXPECT_EQ(coils.value.type(), VT_ARRAY | VT_BOOL);
    EXPECT_EQ(coils.value.size(), 3u);
}

TEST(AddressSpace, TagsCarryDescriptionAndAskTheDeviceThroughRequests) {
    LoadedConfig c(ServerKind::tarnvale);
    c.load(tcpConfig("", tcpDevice("P1", "127.0.0.1",
                                   "<Pumps>" + tagElement("Level", "VT_I2", "4") + "</Pumps>") +
                             tcpDevice("Idle", "127.0.0.2", "")));
    auto level = c.tag("P1.Pumps.Level");
    ASSERT_TRUE(level);
    EXPECT_EQ(level->getItemID(), "P1.Pumps.Level");
    auto description = level->getProperty(kPropertyItemDescription);
    ASSERT_TRUE(description);
    EXPECT_EQ(description->getConstantValue().toUtf8(), "about Level");
    EXPECT_EQ(level->getDeviceIOMode(), kDeviceIOModeRequest);
    EXPECT_TRUE(c.root->findBranch("Idle")) << "a device without tags still has its branch";
    EXPECT_EQ(c.root->findBranch("Idle")->leafCount(), 0u);
}

TEST(AddressSpace, ActiveItemsOfATagFollowActivation) {
    auto entry = makeObject<SODaSEntry>();
    entry->setCreator(makeObject<ModbusCreator>().get());
    LoadedConfig c(ServerKind::tarnvale);
    c.root = entry->getNameSpaceRoot();
    c.load(tcpConfig("", tcpDevice("P1", "127.0.0.1", tagElement("T", "VT_I2", "4"))));

    DaClient client(*entry);
    auto group = client.addGroup("fast", 250);
    auto first = client.addItem(*group, "P1.T");
    auto second = client.addItem(*group, "P1.T");
    ASSERT_TRUE(first && second);
    auto tag = c.tag("P1.T");
    client.setActive(*first, true);
    client.setActive(*second, true);
    EXPECT_EQ(tag->activeItems().getCount(), 2u);
    client.setActive(*first, false);
    EXPECT_EQ(tag->activeItems().getCount(), 1u);
    client.removeGroup(*group);
    EXPECT_EQ(tag->activeItems().getCount(), 0u) << "removing the group deactivates its items";
}
