// Linear scaling of a tag's raw register value to engineering units and back: the raw range
// [rawLow, rawHigh] maps onto [euLow, euHigh], and the line goes on beyond both ends (the bounds
// describe the line, they do not clamp it). A scaled tag is served as VT_R8.
#pragma once

#include "platform/Variant.h"

namespace vorn::modbus {

struct Scaling {
    double rawLow = 0;
    double rawHigh = 1;
    double euLow = 0;
    double euHigh = 1;

    double toEngineering(double raw) const;
    double toRaw(double engineering) const;

    bool operator==(const Scaling&) const = default;
};

// The engineering value of a raw scalar or array (VT_R8, or an array of VT_R8).
Variant engineeringValue(const Scaling& scaling, const Variant& raw);

// A written value (any numeric scalar or array, or text) in engineering units back to the raw
// type `rawType`, rounded half to even for integers. overflow when a raw value does not fit
// its type, typeMismatch when the value is no number (or an array for a scalar).
ChangeResult rawValue(const Scaling& scaling, const Variant& written, VARTYPE rawType,
                      Variant& out);

} // namespace vorn::modbus
