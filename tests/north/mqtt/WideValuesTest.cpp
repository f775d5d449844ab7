// 64-bit integers and doubles (a scaled tag is a Double) on their way to and from the broker:
// in JSON, in Sparkplug B metrics and commands, and through the store-and-forward file.
#include "north/mqtt/ChangeRecord.h"
#include "north/mqtt/JsonFormat.h"
#include "north/mqtt/SparkplugFormat.h"
#include "north/mqtt/sparkplug_b.pb.h"
#include "toolkit/SODaSEntry.h"
#include "toolkit/SODaSTag.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <limits>

namespace vorn::north::mqtt {
namespace {

using Payload = org::eclipse::tahu::protobuf::Payload;

constexpr uint64_t kAboveInt64 = 9223372036854775813ull; // 2^63 + 5

// Device P1 with a scaled speed (Double), an energy counter (UInt64) and a balance (Int64).
struct WideValues : ::testing::Test {
    SOCmnPointer<SODaSNameSpaceRoot> root = makeObject<SODaSNameSpaceRoot>();
    std::shared_ptr<const TagSet> tags;

    void SetUp() override {
        root->setTreeDelimiter('.');
        auto p1 = makeObject<SODaSNode>("P1");
        root->addBranch(p1.get());
        for (auto [name, type] : {std::pair{"Speed", VT_R8}, std::pair{"Energy", VT_UI8},
                                  std::pair{"Balance", VT_I8}}) {
            auto tag = makeObject<SODaSTag>();
            tag->setName(name);
            tag->setNativeDatatype(type);
            tag->setAccessRights(AccessRights::kReadable | AccessRights::kWritable);
            tag->setCache(makeObject<SODaSCache>().get());
            p1->addLeaf(tag.get());
        }
        std::vector<std::string> skipped;
        tags = std::make_shared<const TagSet>(TagSet::fromNameSpace(*root, skipped));
        ASSERT_TRUE(skipped.empty());
    }
    // In the tag set's order, which is the order they were added.
    static std::vector<TagState> states() {
        return {{Variant::r8(42.5), 0xC0, 1},
                {Variant::ui8(kAboveInt64), 0xC0, 1},
                {Variant::i8(std::numeric_limits<int64_t>::min()), 0xC0, 1}};
    }
};

} // namespace

TEST_F(WideValues, JsonCarriesEveryDigitAndTheFraction) {
    JsonFormat format(tags, "plant");
    const auto messages = format.deviceBirth(0, states());
    ASSERT_FALSE(messages.empty());
    const std::string& text = messages.back().payload;
    EXPECT_NE(text.find("\"Speed\":{\"q\":\"good\",\"t\":1,\"v\":42.5}"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\"v\":9223372036854775813"), std::string::npos) << text;
    EXPECT_NE(text.find("\"v\":-9223372036854775808"), std::string::npos) << text;

    std::string error;
    const auto write = format.parseCommand(
        "plant/P1/set", R"({"Speed": 0.1, "Energy": 9223372036854775813})", error);
    ASSERT_TRUE(write) << error;
    ASSERT_EQ(write->writes.size(), 2u);
    for (const auto& w : write->writes) {
        if (w.tag == 0)
            EXPECT_EQ(w.value, Variant::r8(0.1)) << "a Double is not squeezed through a Float";
        else
            EXPECT_EQ(w.value, Variant::ui8(kAboveInt64));
    }
}

TEST_F(WideValues, SparkplugSendsThemAsDoubleUInt64AndInt64) {
    SparkplugFormat format(tags, "Plant", "gw1");
    format.nodeBirth({0, "running", 0});
    const auto messages = format.deviceBirth(0, states());
    ASSERT_EQ(messages.size(), 1u);
    Payload birth;
    ASSERT_TRUE(birth.ParseFromString(messages[0].payload));
    ASSERT_EQ(birth.metrics_size(), 3) << "no tag is left out";
    EXPECT_EQ(birth.metrics(0).datatype(), SparkplugType::kDouble);
    EXPECT_EQ(birth.metrics(0).double_value(), 42.5);
    EXPECT_EQ(birth.metrics(1).datatype(), SparkplugType::kUInt64);
    EXPECT_EQ(birth.metrics(1).long_value(), kAboveInt64);
    EXPECT_EQ(birth.metrics(2).datatype(), SparkplugType::kInt64);
    EXPECT_EQ(static_cast<int64_t>(birth.metrics(2).long_value()),
              std::numeric_limits<int64_t>::min());

    Payload command;
    auto* speed = command.add_metrics();
    speed->set_name("Speed");
    speed->set_datatype(SparkplugType::kDouble);
    speed->set_double_value(0.1);
    auto* energy = command.add_metrics();
    energy->set_name("Energy");
    energy->set_datatype(SparkplugType::kUInt64);
    energy->set_long_value(kAboveInt64);
    std::string error;
    const auto write =
        format.parseCommand("spBv1.0/Plant/DCMD/gw1/P1", command.SerializeAsString(), error);
    ASSERT_TRUE(write) << error;
    ASSERT_EQ(write->writes.size(), 2u);
    EXPECT_EQ(write->writes[0].value, Variant::r8(0.1));
    EXPECT_EQ(write->writes[1].value, Variant::ui8(kAboveInt64));
}

TEST(WideValueRecords, StoreAndForwardKeepsThemExactly) {
    Variant doubles = Variant::array(VT_R8, 2);
    doubles.at(0) = Variant::r8(0.1);
    doubles.at(1) = Variant::r8(-1e300);
    for (const Variant& value : {Variant::r8(42.5), Variant::ui8(kAboveInt64),
                                 Variant::i8(std::numeric_limits<int64_t>::min()), doubles}) {
        std::string bytes;
        encodeRecord(ChangeRecord{ChangeRecord::Kind::value, 3, 0xC0, 1000, value}, bytes);
        const std::optional<ChangeRecord> back = decodeRecord(bytes);
        ASSERT_TRUE(back) << vartypeName(value.type());
        EXPECT_EQ(back->value, value) << vartypeName(value.type());
    }
}

} // namespace vorn::north::mqtt
