// What decides whether a sampled value of a monitored item is a data change: the filter a
// client gives (its trigger and deadband) and the value, status and source time last queued.
#pragma once

#include "toolkit/ua/UaTypes.h"

#include <optional>
#include <string>
#include <vector>

namespace vorn::ua {

struct Node;

namespace DataChangeTrigger {
constexpr uint32_t kStatus = 0, kStatusValue = 1, kStatusValueTimestamp = 2;
} // namespace DataChangeTrigger

namespace DeadbandType {
constexpr uint32_t kNone = 0, kAbsolute = 1, kPercent = 2;
} // namespace DeadbandType

struct DataChangeFilter {
    uint32_t trigger = DataChangeTrigger::kStatusValue;
    uint32_t deadbandType = DeadbandType::kNone;
    // The width of the deadband in the value's units; a percent deadband is turned into this
    // from the variable's EURange when the filter is set.
    double deadband = 0;
};

// The client's filter for the attribute `attributeId` of `node`: none gives the default
// (StatusValue, no deadband). Refusals: another filter type BadMonitoredItemFilterUnsupported;
// a data change filter on another attribute than Value, or a deadband on a variable that is not
// a number, BadFilterNotAllowed; an unknown trigger BadMonitoredItemFilterInvalid; an unknown
// deadband type, a negative or NaN deadband, a percent beyond 0..100 or a percent deadband on
// a variable without an EURange BadDeadbandFilterInvalid.
StatusCode parseDataChangeFilter(const ExtensionObject& encoded, const Node& node,
                                 uint32_t attributeId, DataChangeFilter& filter);

// What a monitored item last queued, and the rule that tells a data change from it.
class ChangeDetector {
public:
    // True when `value` must be queued under `filter`; it then becomes the last value.
    bool isChange(const DataValue& value, const DataChangeFilter& filter);
    // Forget the last value: the next sample is reported whatever it holds.
    void reset() { seen_ = false; }

private:
    bool pastDeadband(const Variant& value, double deadband) const;

    bool seen_ = false;
    StatusCode status_ = 0;
    DateTime sourceTimestamp_ = 0;
    std::string value_; // encoded (a deadband decodes it when it compares)
};

// The elements of a numeric value (scalar or array) as doubles; none for other types.
std::optional<std::vector<double>> numericElements(const Variant& value);

} // namespace vorn::ua
