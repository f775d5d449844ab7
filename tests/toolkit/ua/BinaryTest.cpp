// The binary encoding: what goes out decodes to the same thing, the compact NodeId forms are
// chosen as clients expect, and hostile lengths fail cleanly instead of allocating or reading
// past the end.
#include "toolkit/ua/UaBinary.h"

#include <gtest/gtest.h>

using namespace vorn::ua;

namespace {

std::string hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

Decoder decoderOf(const std::string& bytes) {
    return Decoder(bytes);
}

} // namespace

TEST(Binary, NodeIdsUseTheSmallestFormAndReadBack) {
    Encoder e;
    e.nodeId(NodeId(0, 85));
    e.nodeId(NodeId(1, 1000));
    e.nodeId(NodeId(0, 70000));
    e.nodeId(NodeId::ofString(1, "P1.Pumps.Level"));
    EXPECT_EQ(hex(e.bytes().substr(0, 6)), "005501"
                                           "01e803");
    Decoder d(e.bytes());
    EXPECT_EQ(d.nodeId(), NodeId(0, 85));
    EXPECT_EQ(d.nodeId(), NodeId(1, 1000));
    EXPECT_EQ(d.nodeId(), NodeId(0, 70000));
    EXPECT_EQ(d.nodeId(), NodeId::ofString(1, "P1.Pumps.Level"));
    EXPECT_TRUE(d.ok());
    EXPECT_EQ(d.remaining(), 0u);
}

TEST(Binary, VariantArraysAndDataValuesRoundTrip) {
    Variant array = Variant::array(BuiltinType::kInt16, {int64_t(-1), int64_t(2), int64_t(300)});
    DataValue dv;
    dv.hasValue = true;
    dv.value = Variant::scalar(BuiltinType::kString, std::string("h\xc3\xa9llo"));
    dv.status = Status::kUncertain;
    dv.sourceTimestamp = 133000000000000000LL;
    Encoder e;
    e.variant(array);
    e.dataValue(dv);
    // Int16 array: encoding byte 0x84, three elements little-endian.
    EXPECT_EQ(hex(e.bytes().substr(0, 11)), "8403000000ffff02002c01");
    Decoder d(e.bytes());
    Variant back = d.variant();
    DataValue dvBack = d.dataValue();
    ASSERT_TRUE(d.ok());
    ASSERT_TRUE(back.isArray);
    ASSERT_EQ(back.values.size(), 3u);
    EXPECT_EQ(std::get<int64_t>(back.values[2]), 300);
    EXPECT_EQ(std::get<std::string>(dvBack.value.values[0]), "h\xc3\xa9llo");
    EXPECT_EQ(dvBack.status, Status::kUncertain);
    EXPECT_EQ(dvBack.sourceTimestamp, dv.sourceTimestamp);
    EXPECT_EQ(dvBack.serverTimestamp, 0);
}

TEST(Binary, GoodStatusAndEmptyValuesAreLeftOutOfADataValue) {
    Encoder e;
    e.dataValue(DataValue{});
    EXPECT_EQ(hex(e.bytes()), "00");
}

TEST(Binary, HostileLengthsFailWithoutReadingPastTheEnd) {
    // A string that claims 2 GB, an array that claims more elements than bytes left, a
    // negative length other than -1, and a variant nested beyond the depth limit.
    const std::string cases[] = {
        std::string("\xff\xff\xff\x7f"
                    "abc",
                    7),
        std::string("\x86\x00\x00\x10\x00\x01\x02", 7),
        std::string("\xfe\xff\xff\xff", 4),
        std::string(40, '\x18') + std::string("\x00", 1),
    };
    {
        Decoder d = decoderOf(cases[0]);
        d.string();
        EXPECT_FALSE(d.ok());
    }
    {
        Decoder d = decoderOf(cases[1]);
        d.variant();
        EXPECT_FALSE(d.ok());
    }
    {
        Decoder d = decoderOf(cases[2]);
        d.arrayLength();
        EXPECT_FALSE(d.ok());
    }
    {
        Decoder d = decoderOf(cases[3]);
        d.variant();
        EXPECT_FALSE(d.ok());
    }
}

TEST(Binary, AFailedDecoderStaysFailedAndGivesZeros) {
    std::string bytes("\x01\x02", 2);
    Decoder d(bytes);
    EXPECT_EQ(d.u32(), 0u);
    EXPECT_FALSE(d.ok());
    EXPECT_EQ(d.u8(), 0u);
    EXPECT_EQ(d.string(), "");
    EXPECT_FALSE(d.ok());
}
