#include "DataChangeFilter.h"

#include "toolkit/EngineeringUnits.h"
#include "toolkit/SODaSTag.h"
#include "toolkit/ua/AddressSpace.h"
#include "toolkit/ua/UaBinary.h"
#include "toolkit/ua/UaIds.h"

#include <cmath>

namespace vorn::ua {
namespace {

bool isNumberType(uint32_t dataType) {
    using namespace DataTypeId;
    return (dataType >= kSByte && dataType <= kDouble) || dataType == 26 /* Number */ ||
           dataType == 27 /* Integer */ || dataType == 28 /* UInteger */;
}

std::string encodedValue(const DataValue& value) {
    if (!value.hasValue)
        return {};
    Encoder e;
    e.variant(value.value);
    std::string bytes = std::move(e.bytes());
    bytes.shrink_to_fit(); // kept per item: not the encoder's spare room
    return bytes;
}

} // namespace

StatusCode parseDataChangeFilter(const ExtensionObject& encoded, const Node& node,
                                 uint32_t attributeId, DataChangeFilter& filter) {
    filter = DataChangeFilter{};
    if (encoded.typeId.isNull())
        return Status::kGood;
    if (encoded.typeId != NodeId(0, TypeId::kDataChangeFilter) || encoded.encoding != 1)
        return Status::kBadMonitoredItemFilterUnsupported;
    Decoder body(encoded.body);
    filter.trigger = body.u32();
    filter.deadbandType = body.u32();
    double value = body.f64();
    if (!body.ok())
        return Status::kBadMonitoredItemFilterInvalid;
    if (attributeId != AttributeId::kValue)
        return Status::kBadFilterNotAllowed;
    if (filter.trigger > DataChangeTrigger::kStatusValueTimestamp)
        return Status::kBadMonitoredItemFilterInvalid;
    if (filter.deadbandType > DeadbandType::kPercent || std::isnan(value) || value < 0)
        return Status::kBadDeadbandFilterInvalid;
    if (filter.deadbandType == DeadbandType::kNone)
        return Status::kGood;
    if (!isNumberType(node.dataType))
        return Status::kBadFilterNotAllowed;
    if (filter.deadbandType == DeadbandType::kAbsolute) {
        filter.deadband = value;
        return Status::kGood;
    }
    // A percent of the EURange, which only tags with engineering units have.
    std::optional<EngineeringUnits> units;
    if (node.tag)
        units = engineeringUnitsOf(*node.tag);
    if (!units || value > 100)
        return Status::kBadDeadbandFilterInvalid;
    filter.deadband = value / 100.0 * std::fabs(units->high - units->low);
    return Status::kGood;
}

std::optional<std::vector<double>> numericElements(const Variant& value) {
    if (value.type < BuiltinType::kSByte || value.type > BuiltinType::kDouble)
        return std::nullopt;
    std::vector<double> numbers;
    numbers.reserve(value.values.size());
    for (const Scalar& s : value.values) {
        if (const auto* i = std::get_if<int64_t>(&s))
            numbers.push_back(static_cast<double>(*i));
        else if (const auto* u = std::get_if<uint64_t>(&s))
            numbers.push_back(static_cast<double>(*u));
        else if (const auto* d = std::get_if<double>(&s))
            numbers.push_back(*d);
        else
            return std::nullopt;
    }
    return numbers;
}

bool ChangeDetector::pastDeadband(const Variant& value, double deadband) const {
    std::optional<std::vector<double>> numbers = numericElements(value);
    std::optional<std::vector<double>> last;
    if (!value_.empty()) {
        Decoder encoded(value_);
        last = numericElements(encoded.variant());
    }
    if (!numbers || !last || numbers->size() != last->size())
        return true;
    // Any element past the deadband reports the whole array; entering or leaving NaN reports.
    for (size_t i = 0; i < numbers->size(); ++i) {
        double now = (*numbers)[i], before = (*last)[i];
        if (std::isnan(now) != std::isnan(before) || std::fabs(now - before) > deadband)
            return true;
    }
    return false;
}

bool ChangeDetector::isChange(const DataValue& value, const DataChangeFilter& filter) {
    bool change = !seen_ || value.status != status_; // a status change always reports
    if (!change && filter.trigger != DataChangeTrigger::kStatus) {
        if (filter.deadbandType != DeadbandType::kNone)
            change = pastDeadband(value.value, filter.deadband);
        else
            change = encodedValue(value) != value_ ||
                     (filter.trigger == DataChangeTrigger::kStatusValueTimestamp &&
                      value.sourceTimestamp != sourceTimestamp_);
    }
    if (!change)
        return false;
    seen_ = true;
    status_ = value.status;
    sourceTimestamp_ = value.sourceTimestamp;
    value_ = encodedValue(value);
    return true;
}

} // namespace vorn::ua
