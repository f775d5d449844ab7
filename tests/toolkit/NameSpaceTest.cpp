#include "toolkit/SODaSNode.h"
#include "toolkit/SODaSTag.h"

#include <gtest/gtest.h>

using namespace vorn;

namespace {

SOCmnPointer<SODaSTag> tagNamed(const std::string& name) {
    auto tag = makeObject<SODaSTag>();
    tag->setName(name);
    return tag;
}

struct NameSpace : testing::Test {
    SOCmnPointer<SODaSNameSpaceRoot> root = makeObject<SODaSNameSpaceRoot>();
    SOCmnPointer<SODaSNode> add(SODaSNode& parent, const std::string& name) {
        auto branch = makeObject<SODaSNodeDefault>(name);
        EXPECT_TRUE(parent.addBranch(branch.get()));
        return branch;
    }
};

} // namespace

TEST_F(NameSpace, ItemIdsJoinNamesWithTheDelimiterAndResolveBack) {
    auto p1 = add(*root, "P1");
    auto pumps = add(*p1, "Pumps");
    auto level = tagNamed("Level");
    ASSERT_TRUE(pumps->addLeaf(level.get()));
    EXPECT_EQ(level->getItemID(), "P1.Pumps.Level");
    EXPECT_EQ(root->findTag("P1.Pumps.Level"), level);
    EXPECT_FALSE(root->findTag("P1.Level"));
    EXPECT_FALSE(root->findTag("P1.Pumps"));
    EXPECT_FALSE(root->findTag(""));

    root->setTreeDelimiter('/');
    EXPECT_EQ(level->getItemID(), "P1/Pumps/Level");
    EXPECT_EQ(root->findTag("P1/Pumps/Level"), level);
}

TEST_F(NameSpace, FindBranchLooksAtDirectChildrenOnly) {
    auto p1 = add(*root, "P1");
    add(*p1, "Pumps");
    EXPECT_TRUE(p1->findBranch("Pumps"));
    EXPECT_FALSE(root->findBranch("Pumps"));
}

TEST_F(NameSpace, AmbiguousNamesAreRefusedWithTheirReason) {
    auto p1 = add(*root, "P1");
    AddRefusal why;
    auto again = makeObject<SODaSNodeDefault>("P1");
    EXPECT_FALSE(root->addBranch(again.get(), &why));
    EXPECT_EQ(why, AddRefusal::duplicateName);

    auto level = tagNamed("Level");
    ASSERT_TRUE(p1->addLeaf(level.get()));
    auto level2 = tagNamed("Level");
    EXPECT_FALSE(p1->addLeaf(level2.get(), &why));
    EXPECT_EQ(why, AddRefusal::duplicateName);
    auto branchLikeLeaf = makeObject<SODaSNodeDefault>("Level");
    EXPECT_FALSE(p1->addBranch(branchLikeLeaf.get(), &why)) << "P1.Level would name two things";

    auto unnamed = tagNamed("");
    EXPECT_FALSE(p1->addLeaf(unnamed.get(), &why));
    EXPECT_EQ(why, AddRefusal::emptyName);

    root->setRefusedChars("#");
    auto hashed = tagNamed("A#B");
    EXPECT_FALSE(p1->addLeaf(hashed.get(), &why));
    EXPECT_EQ(p1->leafCount(), 1u);
}

TEST_F(NameSpace, NamesHoldingTheDelimiterResolveUnderTheirJoinedItemId) {
    auto plc = add(*root, "Line1.PLC");
    auto pumps = add(*plc, "Pumps");
    auto level = tagNamed("Level.1");
    ASSERT_TRUE(pumps->addLeaf(level.get()));
    EXPECT_EQ(level->getItemID(), "Line1.PLC.Pumps.Level.1");
    EXPECT_EQ(root->findTag("Line1.PLC.Pumps.Level.1"), level);
    EXPECT_EQ(root->findNode("Line1.PLC.Pumps"), pumps);
    EXPECT_FALSE(root->findTag("Line1.PLC.Pumps.Level"));

    // "Line1" then "PLC" would give the device's ID again: the later element is refused.
    auto line1 = add(*root, "Line1");
    auto plcAgain = makeObject<SODaSNodeDefault>("PLC");
    AddRefusal why;
    EXPECT_FALSE(line1->addBranch(plcAgain.get(), &why));
    EXPECT_EQ(why, AddRefusal::duplicateItemId);
    auto leafAgain = tagNamed("PLC.Pumps");
    EXPECT_FALSE(line1->addLeaf(leafAgain.get(), &why)) << "the branch's ID is taken";
    EXPECT_EQ(why, AddRefusal::duplicateItemId);
    EXPECT_EQ(root->findNode("Line1.PLC"), plc);
}

TEST_F(NameSpace, ParentsKeepTheirOwnReferences) {
    SODaSTag* raw;
    {
        auto p1 = add(*root, "P1");
        auto tag = tagNamed("T");
        raw = tag.get();
        p1->addLeaf(tag.get());
        EXPECT_EQ(tag->refCount(), 2);
    }
    EXPECT_EQ(raw->refCount(), 1) << "the branch still holds the tag";
    EXPECT_EQ(root->findTag("P1.T").get(), raw);
}
