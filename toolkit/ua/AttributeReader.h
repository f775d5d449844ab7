// Attributes of a node as DataValues: what Read with a maxAge answers and what monitored
// items sample. Tag values come from the tag's cache, never from the device.
#pragma once

#include "toolkit/SODaSCache.h"
#include "toolkit/ua/AddressSpace.h"

#include <cstdint>
#include <string>

namespace vorn::ua {

namespace TimestampsToReturn {
constexpr uint32_t kSource = 0, kServer = 1, kBoth = 2, kNeither = 3;
} // namespace TimestampsToReturn

// `userMayWrite`: the session's user has the right to write, which UserAccessLevel shows beside
// the node's own AccessLevel (no attribute but a variable's Value is ever written, so WriteMask
// and UserWriteMask are 0 for everyone).
DataValue readAttribute(const Node& node, uint32_t attributeId, uint32_t timestampsToReturn,
                        bool userMayWrite = true);
// A tag's value from a cache snapshot: Bad qualities carry no value.
DataValue tagDataValue(const CacheSnapshot& snapshot, uint32_t timestampsToReturn);
DataValue statusOnly(StatusCode status);
// Narrows a value to the index range "i" or "i:j" of a one-dimensional array or a string;
// BadIndexRangeInvalid for another syntax, BadIndexRangeNoData when nothing is in range.
void applyIndexRange(const std::string& range, DataValue& dv);

} // namespace vorn::ua
