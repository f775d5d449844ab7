#include "Scaling.h"

namespace vorn::modbus {
namespace {

// The raw range is multiplied before it is divided, so that "times 0.1" written as 0..10 ->
// 0..1 gives 23.5 for 235, not 23.500000000000004.
double mapped(double value, double fromLow, double fromHigh, double toLow, double toHigh) {
    return toLow + (value - fromLow) * (toHigh - toLow) / (fromHigh - fromLow);
}

ChangeResult rawScalar(const Scaling& scaling, const Variant& written, VARTYPE rawType,
                       Variant& out) {
    ChangeResult result = ChangeResult::ok;
    const Variant engineering = written.converted(VT_R8, result);
    if (result != ChangeResult::ok)
        return result;
    Variant raw = Variant::r8(scaling.toRaw(engineering.asDouble())).converted(rawType, result);
    if (result == ChangeResult::ok)
        out = std::move(raw);
    return result;
}

} // namespace

double Scaling::toEngineering(double raw) const {
    return mapped(raw, rawLow, rawHigh, euLow, euHigh);
}

double Scaling::toRaw(double engineering) const {
    return mapped(engineering, euLow, euHigh, rawLow, rawHigh);
}

Variant engineeringValue(const Scaling& scaling, const Variant& raw) {
    if (!raw.isArray())
        return Variant::r8(scaling.toEngineering(raw.asNumber()));
    Variant value = Variant::array(VT_R8, raw.size());
    for (size_t i = 0; i < raw.size(); ++i)
        value.at(i) = engineeringValue(scaling, raw.at(i));
    return value;
}

ChangeResult rawValue(const Scaling& scaling, const Variant& written, VARTYPE rawType,
                      Variant& out) {
    const bool rawIsArray = (rawType & VT_ARRAY) != 0;
    if (written.isArray() != rawIsArray)
        return ChangeResult::typeMismatch;
    if (!rawIsArray)
        return rawScalar(scaling, written, rawType, out);
    const VARTYPE element = rawType & ~VT_ARRAY;
    Variant array = Variant::array(element, written.size());
    for (size_t i = 0; i < written.size(); ++i)
        if (ChangeResult result = rawScalar(scaling, written.at(i), element, array.at(i));
            result != ChangeResult::ok)
            return result;
    out = std::move(array);
    return ChangeResult::ok;
}

} // namespace vorn::modbus
