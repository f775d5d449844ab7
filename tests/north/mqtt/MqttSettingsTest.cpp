// The MQTT registry values: absent broker means no MQTT; defaults from the server and host
// names; every bad value named with what it must be, and then no settings at all.
#include "north/mqtt/MqttSettings.h"

#include "ScratchDir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace vorn::north::mqtt {
namespace {

constexpr const char* kKey = "SOFTWARE\\VornAutomation\\Tarnvale";

struct Settings : ::testing::Test {
    test::ScratchDir scratch;
    Registry registry{scratch.file("registry.ini")};
    void set(const std::string& name, const std::string& value) {
        ASSERT_TRUE(registry.writeString(kKey, name, value));
    }
    MqttSettingsRead read() { return readMqttSettings(registry, kKey, "Tarnvale", "host7"); }
};

TEST_F(Settings, WithoutABrokerNothingIsPublished) {
    set("MqttPayload", "json");
    const MqttSettingsRead r = read();
    EXPECT_FALSE(r.settings);
    EXPECT_TRUE(r.errors.empty());
}

TEST_F(Settings, DefaultsComeFromTheServerAndTheHost) {
    set("MqttBroker", "mqtts://broker.site:8884");
    const MqttSettingsRead r = read();
    ASSERT_TRUE(r.settings) << (r.errors.empty() ? "" : r.errors[0]);
    const MqttSettings& s = *r.settings;
    EXPECT_TRUE(s.broker.tls);
    EXPECT_EQ(s.broker.host, "broker.site");
    EXPECT_EQ(s.broker.port, 8884);
    EXPECT_EQ(s.payload, PayloadKind::sparkplugB);
    EXPECT_EQ(s.groupId, "Tarnvale");
    EXPECT_EQ(s.edgeNodeId, "host7");
    EXPECT_EQ(s.topicPrefix, "Tarnvale/host7");
    EXPECT_EQ(s.clientId, "Tarnvale-host7");
    EXPECT_EQ(s.qos, 1);
    EXPECT_EQ(s.updateRateMs, 1000u);
    EXPECT_EQ(s.mode, PublishMode::onChange);
    EXPECT_EQ(s.bufferMb, 64u);
    EXPECT_FALSE(s.writes);
    EXPECT_EQ(parseBrokerUrl("mqtt://10.0.0.5")->port, 1883);
    EXPECT_EQ(parseBrokerUrl("mqtts://10.0.0.5")->port, 8883);
}

TEST_F(Settings, EachBadValueIsNamedWithWhatItMustBe) {
    set("MqttBroker", "tcp://broker:1883");
    set("MqttPayload", "xml");
    set("MqttQos", "2");
    set("MqttUpdateRate", "5");
    set("MqttBufferMB", "-1");
    set("MqttEdgeNodeId", "line/3");
    set("MqttCertFile", "/etc/vorn/client.pem");
    const MqttSettingsRead r = read();
    EXPECT_FALSE(r.settings);
    const std::vector<std::string> expected = {
        "MqttBroker \"tcp://broker:1883\" is not mqtt://host:port or mqtts://host:port",
        "MqttPayload \"xml\" is not sparkplugb or json",
        "MqttEdgeNodeId \"line/3\" holds one of / + #",
        "MqttCertFile and MqttKeyFile go together: give both or neither",
        "MqttQos \"2\" is not 0 or 1",
        "MqttUpdateRate \"5\" is not a whole number from 20 to 3600000",
        "MqttBufferMB \"-1\" is not a whole number from 1 to 4096",
    };
    EXPECT_EQ(r.errors, expected);
}

TEST_F(Settings, APasswordFileOthersMayReadIsRefused) {
    set("MqttBroker", "mqtt://127.0.0.1:1883");
    set("MqttUser", "gateway");
    const std::string file = scratch.file("secret/broker.password");
    set("MqttPasswordFile", file);
    std::string error;
    ASSERT_TRUE(writePasswordFile(file, "s3cret", error)) << error;
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    MqttSettingsRead r = read();
    ASSERT_TRUE(r.settings);
    EXPECT_EQ(r.settings->password, "s3cret");

    ::chmod(file.c_str(), 0644);
    r = read();
    EXPECT_FALSE(r.settings);
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_NE(r.errors[0].find("may be read or changed by other users"), std::string::npos)
        << r.errors[0];
}

} // namespace
} // namespace vorn::north::mqtt
