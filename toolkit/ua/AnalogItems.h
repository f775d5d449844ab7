// Tags with engineering units (toolkit/EngineeringUnits.h) are AnalogItemType variables: their
// EURange (a Range) and, when they name a unit, their EngineeringUnits (an EUInformation with
// the unit text as display name and its UNECE code where this table knows it) are property
// variables of the tags' namespace, NodeId "<item ID>.EURange" and "<item ID>.EngineeringUnits".
#pragma once

#include "toolkit/EngineeringUnits.h"
#include "toolkit/ua/UaTypes.h"

#include <string>
#include <string_view>

namespace vorn::ua {

inline constexpr const char* kEuRangeProperty = "EURange";
inline constexpr const char* kEngineeringUnitsProperty = "EngineeringUnits";
// The organisation that keeps the unit codes (UNECE Recommendation 20).
inline constexpr const char* kUneceUnitsNamespace =
    "http://www.opcfoundation.org/UA/units/un/cefact";

// The UNECE common code of a unit text ("kWh" -> "KWH") as the Int32 UnitId of OPC UA (the
// code's characters, most significant first); -1 for a unit this table does not know.
int32_t unitIdOf(std::string_view unitText);

// The properties' values, as ExtensionObjects in their binary encoding.
ExtensionObject rangeOf(const EngineeringUnits& units);
ExtensionObject euInformationOf(const EngineeringUnits& units);

} // namespace vorn::ua
