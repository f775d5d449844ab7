// What a tag's value measures: the range of engineering values it spans and the text of its
// unit ("kWh", "°C", "%"). A tag carries them as the analog EU properties of OPC DA (EU type
// analog, EU info with the low and high value, EU units), set once when the tag is made; the
// OPC UA front serves them as an AnalogItemType's EURange and EngineeringUnits, and any other
// reader (deadbands, publishers, exports) asks engineeringUnitsOf.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vorn {

class SODaSTag;

// OPC DA property ids of the analog engineering units.
constexpr uint32_t kPropertyEuType = 7;    // VT_I4: 1 analog
constexpr uint32_t kPropertyEuInfo = 8;    // VT_R8 ARRAY: low, high
constexpr uint32_t kPropertyEuUnits = 100; // VT_BSTR
constexpr int32_t kEuTypeAnalog = 1;

struct EngineeringUnits {
    double low = 0;
    double high = 0;
    std::string units; // UTF-8; empty when the tag names no unit
};

// Adds the three properties to `tag` (before it is shown to clients).
void setEngineeringUnits(SODaSTag& tag, const EngineeringUnits& units);
// The tag's engineering units; none unless its EU type is analog with a low and a high value.
std::optional<EngineeringUnits> engineeringUnitsOf(const SODaSTag& tag);

} // namespace vorn
