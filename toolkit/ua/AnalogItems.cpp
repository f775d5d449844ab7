#include "AnalogItems.h"

#include "toolkit/ua/UaBinary.h"
#include "toolkit/ua/UaIds.h"

namespace vorn::ua {
namespace {

struct UnitCode {
    std::string_view text; // as plant engineers write it (UTF-8)
    std::string_view code; // UNECE Recommendation 20 common code
    std::string_view name;
};

// Units met on meters, drives and process instruments.
constexpr UnitCode kUnits[] = {
    {"%", "P1", "percent"},
    {"°C", "CEL", "degree Celsius"},
    {"°F", "FAH", "degree Fahrenheit"},
    {"K", "KEL", "kelvin"},
    {"A", "AMP", "ampere"},
    {"V", "VLT", "volt"},
    {"W", "WTT", "watt"},
    {"kW", "KWT", "kilowatt"},
    {"MW", "MAW", "megawatt"},
    {"Wh", "WHR", "watt hour"},
    {"kWh", "KWH", "kilowatt hour"},
    {"MWh", "MWH", "megawatt hour"},
    {"Hz", "HTZ", "hertz"},
    {"bar", "BAR", "bar"},
    {"mbar", "MBR", "millibar"},
    {"Pa", "PAL", "pascal"},
    {"hPa", "A97", "hectopascal"},
    {"kPa", "KPA", "kilopascal"},
    {"MPa", "MPA", "megapascal"},
    {"ms", "C26", "millisecond"},
    {"s", "SEC", "second"},
    {"min", "MIN", "minute"},
    {"h", "HUR", "hour"},
    {"mm", "MMT", "millimetre"},
    {"cm", "CMT", "centimetre"},
    {"m", "MTR", "metre"},
    {"m/s", "MTS", "metre per second"},
    {"km/h", "KMH", "kilometre per hour"},
    {"m³", "MTQ", "cubic metre"},
    {"m³/h", "MQH", "cubic metre per hour"},
    {"g", "GRM", "gram"},
    {"kg", "KGM", "kilogram"},
    {"kg/s", "KGS", "kilogram per second"},
    {"N", "NEW", "newton"},
    {"J", "JOU", "joule"},
    {"rpm", "RPM", "revolutions per minute"},
    {"r/min", "RPM", "revolutions per minute"},
    {"ppm", "59", "part per million"},
};

const UnitCode* codeOf(std::string_view text) {
    for (const UnitCode& unit : kUnits)
        if (unit.text == text)
            return &unit;
    return nullptr;
}

} // namespace

int32_t unitIdOf(std::string_view unitText) {
    const UnitCode* unit = codeOf(unitText);
    if (!unit)
        return -1;
    int32_t id = 0;
    for (char c : unit->code)
        id = id << 8 | static_cast<unsigned char>(c);
    return id;
}

ExtensionObject rangeOf(const EngineeringUnits& units) {
    Encoder e;
    e.f64(units.low);
    e.f64(units.high);
    return ExtensionObject{NodeId(0, TypeId::kRange), 1, std::move(e.bytes())};
}

ExtensionObject euInformationOf(const EngineeringUnits& units) {
    const UnitCode* unit = codeOf(units.units);
    Encoder e;
    if (unit)
        e.string(kUneceUnitsNamespace);
    else
        e.nullString();
    e.i32(unitIdOf(units.units));
    e.localizedText(LocalizedText{"", units.units});
    e.localizedText(LocalizedText{"", unit ? std::string(unit->name) : std::string()});
    return ExtensionObject{NodeId(0, TypeId::kEUInformation), 1, std::move(e.bytes())};
}

} // namespace vorn::ua
