// Sparkplug B payloads as a host reads them (decoded with the same public schema): births with
// every tag, data by alias, seq wrapping after 255, quality only when it changes, commands.
#include "north/mqtt/SparkplugFormat.h"

#include "north/mqtt/sparkplug_b.pb.h"
#include "toolkit/SODaSEntry.h"
#include "toolkit/SODaSTag.h"

#include <gtest/gtest.h>

namespace vorn::north::mqtt {
namespace {

using Payload = org::eclipse::tahu::protobuf::Payload;

SOCmnPointer<SODaSTag> tagOf(const std::string& name, VARTYPE type, uint32_t rights) {
    auto tag = makeObject<SODaSTag>();
    tag->setName(name);
    tag->setNativeDatatype(type);
    tag->setAccessRights(rights);
    tag->setCache(makeObject<SODaSCache>().get());
    return tag;
}

struct Sparkplug : ::testing::Test {
    SOCmnPointer<SODaSNameSpaceRoot> root = makeObject<SODaSNameSpaceRoot>();
    std::shared_ptr<const TagSet> tags;
    std::unique_ptr<SparkplugFormat> format;

    void SetUp() override {
        root->setTreeDelimiter('.');
        auto p1 = makeObject<SODaSNode>("P1");
        root->addBranch(p1.get());
        auto pumps = makeObject<SODaSNode>("Pumps");
        p1->addBranch(pumps.get());
        pumps->addLeaf(
            tagOf("Level", VT_I2, AccessRights::kReadable | AccessRights::kWritable).get());
        p1->addLeaf(tagOf("Run", VT_BOOL, AccessRights::kReadable).get());
        p1->addLeaf(tagOf("Total", VT_UI4, AccessRights::kReadable).get());
        std::vector<std::string> skipped;
        tags = std::make_shared<const TagSet>(TagSet::fromNameSpace(*root, skipped));
        format = std::make_unique<SparkplugFormat>(tags, "Plant", "gw1");
    }
    static Payload decode(const OutgoingMessage& message) {
        Payload payload;
        EXPECT_TRUE(payload.ParseFromString(message.payload));
        return payload;
    }
};

TEST_F(Sparkplug, ABirthNamesEveryTagByItsBranchPathWithTypeAliasAndQuality) {
    decode(format->nodeBirth({7, "running", 2}));
    // In the tag set's order: a branch's tags before its sub-branches.
    const std::vector<TagState> states = {{Variant::boolean(true), 0xC0, 1001},
                                          {Variant::ui4(4000000000u), 0x18, 1002},
                                          {Variant::i2(-5), 0xC0, 1000}};
    const auto messages = format->deviceBirth(0, states);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].topic, "spBv1.0/Plant/DBIRTH/gw1/P1");
    const Payload birth = decode(messages[0]);
    EXPECT_EQ(birth.seq(), 1u);
    ASSERT_EQ(birth.metrics_size(), 3);
    EXPECT_EQ(birth.metrics(0).name(), "Run");
    EXPECT_TRUE(birth.metrics(0).boolean_value());
    EXPECT_EQ(birth.metrics(1).name(), "Total");
    EXPECT_EQ(birth.metrics(1).datatype(), SparkplugType::kUInt32);
    EXPECT_EQ(birth.metrics(1).long_value(), 4000000000u);
    EXPECT_EQ(birth.metrics(1).properties().values(0).int_value(), 0x18u);
    EXPECT_EQ(birth.metrics(2).name(), "Pumps/Level");
    EXPECT_EQ(birth.metrics(2).datatype(), SparkplugType::kInt16);
    EXPECT_EQ(static_cast<int32_t>(birth.metrics(2).int_value()), -5);
}

TEST_F(Sparkplug, SeqWrapsAfter255AndQualityIsSentWhenItChanges) {
    decode(format->nodeBirth({0, "running", 0}));
    const uint32_t level = tags->findMetric(0, "Pumps/Level", 0);
    ASSERT_NE(level, TagSet::kNoTag);
    std::vector<uint64_t> seqs;
    std::vector<bool> withQuality;
    for (int i = 0; i < 300; ++i) {
        const uint16_t quality = i == 10 ? 0x18 : 0xC0;
        ChangeRecord record{ChangeRecord::Kind::value, level, quality, 5000 + i, Variant::i2(i)};
        const Payload data = decode(format->deviceData(0, std::span(&record, 1), false));
        seqs.push_back(data.seq());
        withQuality.push_back(data.metrics(0).has_properties());
        EXPECT_EQ(data.metrics(0).alias(), tags->tags()[level].alias);
        EXPECT_FALSE(data.metrics(0).has_name());
    }
    EXPECT_EQ(seqs[0], 1u);
    EXPECT_EQ(seqs[254], 255u);
    EXPECT_EQ(seqs[255], 0u);
    EXPECT_TRUE(withQuality[0]) << "never heard since the birth";
    EXPECT_FALSE(withQuality[1]);
    EXPECT_TRUE(withQuality[10]);
    EXPECT_TRUE(withQuality[11]) << "good again";
    EXPECT_FALSE(withQuality[12]);
}

TEST_F(Sparkplug, CommandsNameTagsByNameOrAliasAndUnknownOnesAreKept) {
    Payload payload;
    auto* byName = payload.add_metrics();
    byName->set_name("Pumps/Level");
    byName->set_datatype(SparkplugType::kInt16);
    byName->set_int_value(static_cast<uint32_t>(-3));
    auto* byAlias = payload.add_metrics();
    byAlias->set_alias(tags->tags()[tags->findMetric(0, "Run", 0)].alias);
    byAlias->set_datatype(SparkplugType::kBoolean);
    byAlias->set_boolean_value(true);
    auto* unknown = payload.add_metrics();
    unknown->set_name("Nothing");
    unknown->set_int_value(1);
    std::string error;
    auto command =
        format->parseCommand("spBv1.0/Plant/DCMD/gw1/P1", payload.SerializeAsString(), error);
    ASSERT_TRUE(command) << error;
    ASSERT_EQ(command->writes.size(), 2u);
    EXPECT_EQ(command->writes[0].value.asInt64(), -3);
    EXPECT_TRUE(command->writes[1].value.asBool());
    EXPECT_EQ(command->unknown, std::vector<std::string>{"Nothing"});

    EXPECT_FALSE(
        format->parseCommand("spBv1.0/Plant/DCMD/gw1/P9", payload.SerializeAsString(), error));
    EXPECT_EQ(error, "no device P9");
    EXPECT_FALSE(format->parseCommand("spBv1.0/Plant/DCMD/gw1/P1", "\xff\xff garbage", error));
    Payload rebirth;
    auto* metric = rebirth.add_metrics();
    metric->set_name(SparkplugFormat::kRebirthMetric);
    metric->set_boolean_value(true);
    auto asked = format->parseCommand("spBv1.0/Plant/NCMD/gw1", rebirth.SerializeAsString(), error);
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->kind, Command::Kind::rebirth);
}

} // namespace
} // namespace vorn::north::mqtt
