// A tag's item description is its property 101, whether the tag keeps it as its own text (as
// every server tag does) or as a stored property object.
#include "toolkit/SODaSTag.h"

#include <gtest/gtest.h>

using namespace vorn;

namespace {

std::string descriptionOf(const SODaSTag& tag) {
    auto property = tag.getProperty(kPropertyItemDescription);
    return property ? property->getConstantValue().toUtf8() : "(none)";
}

} // namespace

TEST(TagDescription, IsPropertyOneHundredAndOneWhetherKeptAsTextOrStored) {
    auto tag = makeObject<SODaSTag>();
    EXPECT_EQ(descriptionOf(*tag), "(none)");
    EXPECT_TRUE(tag->getPropertyIds().empty());

    tag->setDescription("");
    EXPECT_EQ(tag->getProperty(kPropertyItemDescription)->getConstantValue().type(), VT_BSTR)
        << "an empty comment is a description all the same";
    tag->setDescription("Füllstand Tank 3");
    EXPECT_EQ(descriptionOf(*tag), "Füllstand Tank 3");
    EXPECT_EQ(tag->getPropertyIds(), std::vector<uint32_t>{kPropertyItemDescription});

    auto stored = tag->addProperty(kPropertyItemDescription);
    EXPECT_EQ(stored->getConstantValue().toUtf8(), "Füllstand Tank 3")
        << "adding the property keeps the text as its value";
    stored->setConstantValue(Variant::bstrFromUtf8("Level"));
    EXPECT_EQ(descriptionOf(*tag), "Level");
    tag->addProperty(5);
    EXPECT_EQ(tag->getPropertyIds(), (std::vector<uint32_t>{5, kPropertyItemDescription}))
        << "ascending, the description once";
}
