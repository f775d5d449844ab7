// Index ranges of Read: slices of arrays and strings, and the two faults a range can have.
#include "toolkit/ua/AttributeReader.h"

#include <gtest/gtest.h>

using namespace vorn::ua;

namespace {

DataValue arrayOf(std::initializer_list<int64_t> values) {
    DataValue dv;
    dv.hasValue = true;
    std::vector<Scalar> elements(values.begin(), values.end());
    dv.value = Variant::array(BuiltinType::kInt16, std::move(elements));
    return dv;
}

std::vector<int64_t> elements(const DataValue& dv) {
    std::vector<int64_t> out;
    for (const Scalar& s : dv.value.values)
        out.push_back(std::get<int64_t>(s));
    return out;
}

} // namespace

TEST(IndexRange, SlicesAnArrayAndStopsAtItsEnd) {
    DataValue dv = arrayOf({1, 2, 3, 4, 5});
    applyIndexRange("1:3", dv);
    EXPECT_EQ(elements(dv), (std::vector<int64_t>{2, 3, 4}));
    DataValue tail = arrayOf({1, 2, 3});
    applyIndexRange("2:9", tail);
    EXPECT_EQ(elements(tail), (std::vector<int64_t>{3}));
    DataValue one = arrayOf({1, 2, 3});
    applyIndexRange("0", one);
    EXPECT_EQ(elements(one), (std::vector<int64_t>{1}));
}

TEST(IndexRange, SlicesAString) {
    DataValue dv;
    dv.hasValue = true;
    dv.value = Variant::scalar(BuiltinType::kString, std::string("ABCDE"));
    applyIndexRange("1:2", dv);
    EXPECT_EQ(std::get<std::string>(dv.value.values[0]), "BC");
}

TEST(IndexRange, BadSyntaxAndEmptyRangesAreTold) {
    for (const char* bad : {"", "a", "3:1", "2:2", "-1", "1:", ":2", "1:2:3", "99999999999"}) {
        DataValue dv = arrayOf({1, 2, 3});
        applyIndexRange(bad, dv);
        EXPECT_EQ(dv.status, Status::kBadIndexRangeInvalid) << bad;
        EXPECT_FALSE(dv.hasValue) << bad;
    }
    DataValue beyond = arrayOf({1, 2, 3});
    applyIndexRange("3:5", beyond);
    EXPECT_EQ(beyond.status, Status::kBadIndexRangeNoData);
    DataValue scalar;
    scalar.hasValue = true;
    scalar.value = Variant::scalar(BuiltinType::kInt16, int64_t(4));
    applyIndexRange("0", scalar);
    EXPECT_EQ(scalar.status, Status::kBadIndexRangeNoData);
}
