#include "EngineeringUnits.h"

#include "toolkit/SODaSTag.h"

namespace vorn {

void setEngineeringUnits(SODaSTag& tag, const EngineeringUnits& units) {
    tag.addProperty(kPropertyEuType, "EU Type")->setConstantValue(Variant::i4(kEuTypeAnalog));
    Variant range = Variant::array(VT_R8, 2);
    range.at(0) = Variant::r8(units.low);
    range.at(1) = Variant::r8(units.high);
    tag.addProperty(kPropertyEuInfo, "EU Info")->setConstantValue(range);
    tag.addProperty(kPropertyEuUnits, "EU Units")
        ->setConstantValue(Variant::bstrFromUtf8(units.units));
}

std::optional<EngineeringUnits> engineeringUnitsOf(const SODaSTag& tag) {
    const SOCmnPointer<SODaSProperty> type = tag.getProperty(kPropertyEuType);
    if (!type || type->getConstantValue().asInt64() != kEuTypeAnalog)
        return std::nullopt;
    const SOCmnPointer<SODaSProperty> info = tag.getProperty(kPropertyEuInfo);
    const Variant range = info ? info->getConstantValue() : Variant();
    if (range.type() != (VT_ARRAY | VT_R8) || range.size() != 2)
        return std::nullopt;
    EngineeringUnits units{range.at(0).asDouble(), range.at(1).asDouble(), {}};
    if (const SOCmnPointer<SODaSProperty> text = tag.getProperty(kPropertyEuUnits))
        units.units = text->getConstantValue().toUtf8();
    return units;
}

} // namespace vorn
