// Tags with engineering units as clients browse them: AnalogItemType variables with an EURange
// and an EngineeringUnits property, whose values are the Range and EUInformation structures.
#include "toolkit/ua/AnalogItems.h"

#include "toolkit/EngineeringUnits.h"
#include "toolkit/SODaSEntry.h"
#include "toolkit/ua/AddressSpace.h"
#include "toolkit/ua/UaBinary.h"
#include "toolkit/ua/UaIds.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::ua;

namespace {

// A device "P1" with a scaled tag "Speed" (0..100 %), one without a unit and a plain one.
class AnalogItems : public ::testing::Test {
protected:
    AnalogItems() {
        auto device = makeObject<SODaSNodeDefault>("P1");
        entry->getNameSpaceRoot(true)->addBranch(device.get());
        addTag(*device, "Speed", EngineeringUnits{0, 100, "%"});
        addTag(*device, "Ratio", EngineeringUnits{-1, 1, ""});
        addTag(*device, "Count", std::nullopt);
    }

    static void addTag(SODaSNode& device, const std::string& name,
                       const std::optional<EngineeringUnits>& units) {
        auto tag = makeObject<SODaSTag>();
        tag->setName(name);
        tag->setNativeDatatype(units ? VT_R8 : VT_UI8);
        tag->setAccessRights(AccessRights::kReadable);
        if (units)
            setEngineeringUnits(*tag, *units);
        device.addLeaf(tag.get());
    }

    NodePtr node(const std::string& itemId) const {
        return space.find(NodeId::ofString(kTagNamespace, itemId));
    }

    bool hasProperty(const std::string& itemId, const std::string& property) const {
        const auto references = space.referencesOf(*node(itemId));
        return std::any_of(references.begin(), references.end(), [&](const Reference& r) {
            return r.typeId == RefType::kHasProperty && r.isForward &&
                   r.target == NodeId::ofString(kTagNamespace, itemId + "." + property);
        });
    }

    SOCmnPointer<SODaSEntry> entry = makeObject<SODaSEntry>();
    ServerInfo info{{}, "urn:test", "urn:test:tags"};
    AddressSpace space{*entry, info};
};

ExtensionObject valueOf(const Node& property) {
    const ua::Variant value = property.value();
    EXPECT_EQ(value.type, BuiltinType::kExtensionObject);
    return std::get<ExtensionObject>(value.values.at(0));
}

} // namespace

TEST_F(AnalogItems, AScaledTagIsAnAnalogItemWithItsRangeAndUnit) {
    const NodePtr speed = node("P1.Speed");
    ASSERT_TRUE(speed);
    EXPECT_EQ(speed->typeDefinition, ObjectType::kAnalogItemType);
    EXPECT_EQ(speed->dataType, DataTypeId::kDouble);
    EXPECT_TRUE(space.isSubtypeOf(ObjectType::kAnalogItemType, ObjectType::kBaseDataVariableType));
    EXPECT_TRUE(hasProperty("P1.Speed", "EURange"));
    EXPECT_TRUE(hasProperty("P1.Speed", "EngineeringUnits"));

    const NodePtr range = node("P1.Speed.EURange");
    ASSERT_TRUE(range);
    EXPECT_EQ(range->browseName, (QualifiedName{0, "EURange"}));
    EXPECT_EQ(range->dataType, DataTypeId::kRange);
    EXPECT_EQ(range->typeDefinition, ObjectType::kPropertyType);
    const ExtensionObject rangeValue = valueOf(*range);
    EXPECT_EQ(rangeValue.typeId, NodeId(0, TypeId::kRange));
    Decoder bounds(rangeValue.body);
    EXPECT_EQ(bounds.f64(), 0.0);
    EXPECT_EQ(bounds.f64(), 100.0);

    const NodePtr units = node("P1.Speed.EngineeringUnits");
    ASSERT_TRUE(units);
    EXPECT_EQ(units->dataType, DataTypeId::kEUInformation);
    const ExtensionObject unitsValue = valueOf(*units);
    EXPECT_EQ(unitsValue.typeId, NodeId(0, TypeId::kEUInformation));
    Decoder information(unitsValue.body);
    EXPECT_EQ(information.string(), kUneceUnitsNamespace);
    EXPECT_EQ(information.i32(), ('P' << 8) | '1');
    EXPECT_EQ(information.localizedText().text, "%");
    EXPECT_EQ(information.localizedText().text, "percent");
    const auto back = space.referencesOf(*units);
    EXPECT_TRUE(std::any_of(back.begin(), back.end(), [](const Reference& r) {
        return r.typeId == RefType::kHasProperty && !r.isForward &&
               r.target == NodeId::ofString(kTagNamespace, "P1.Speed");
    }));
}

TEST_F(AnalogItems, WithoutAUnitThereIsNoEngineeringUnitsAndPlainTagsHaveNeither) {
    EXPECT_EQ(node("P1.Ratio")->typeDefinition, ObjectType::kAnalogItemType);
    EXPECT_TRUE(node("P1.Ratio.EURange"));
    EXPECT_FALSE(node("P1.Ratio.EngineeringUnits"));
    EXPECT_FALSE(hasProperty("P1.Ratio", "EngineeringUnits"));

    EXPECT_EQ(node("P1.Count")->typeDefinition, ObjectType::kBaseDataVariableType);
    EXPECT_EQ(node("P1.Count")->dataType, DataTypeId::kUInt64);
    EXPECT_FALSE(node("P1.Count.EURange"));
    EXPECT_FALSE(node("P1.Nothing.EURange"));
    EXPECT_FALSE(node("P1.EURange")) << "a device folder has no range";
}

TEST(UnitCodes, CommonUnitsHaveTheirUneceCodeAndOthersMinusOne) {
    EXPECT_EQ(unitIdOf("kWh"), ('K' << 16) | ('W' << 8) | 'H');
    EXPECT_EQ(unitIdOf("°C"), ('C' << 16) | ('E' << 8) | 'L');
    EXPECT_EQ(unitIdOf("A"), ('A' << 16) | ('M' << 8) | 'P');
    EXPECT_EQ(unitIdOf("furlongs"), -1);
    EXPECT_EQ(unitIdOf("KWH"), -1) << "unit texts are compared as written";
}
