#include "WriteConversion.h"

#include "toolkit/ua/DaMapping.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

namespace vorn::ua {
namespace {

ChangeResult changed(const vorn::Variant& from, VARTYPE target, vorn::Variant& out) {
    ChangeResult result = ChangeResult::ok;
    vorn::Variant next = from.converted(target, result);
    if (result == ChangeResult::ok)
        out = std::move(next);
    return result;
}

// The toolkit's values hold at most 32 bits, so wider integers only reach the types that can
// take them (text, Float, Boolean) and are out of range for every integral type.
template <typename Integer>
ChangeResult fromInteger(Integer value, VARTYPE target, vorn::Variant& out) {
    if (std::in_range<int32_t>(value))
        return changed(vorn::Variant::i4(static_cast<int32_t>(value)), target, out);
    if (std::in_range<uint32_t>(value))
        return changed(vorn::Variant::ui4(static_cast<uint32_t>(value)), target, out);
    switch (target) {
    case VT_BSTR:
        out = vorn::Variant::bstrFromUtf8(std::to_string(value));
        return ChangeResult::ok;
    case VT_R4:
        out = vorn::Variant::r4(static_cast<float>(value));
        return ChangeResult::ok;
    case VT_BOOL:
        out = vorn::Variant::boolean(true);
        return ChangeResult::ok;
    default:
        return ChangeResult::overflow;
    }
}

// A Double keeps its precision up to the target: it is not squeezed through a Float first.
ChangeResult fromDouble(double value, VARTYPE target, vorn::Variant& out) {
    switch (target) {
    case VT_R4:
        if (std::fabs(value) > FLT_MAX)
            return ChangeResult::overflow;
        out = vorn::Variant::r4(static_cast<float>(value));
        return ChangeResult::ok;
    case VT_BOOL:
        out = vorn::Variant::boolean(value != 0.0);
        return ChangeResult::ok;
    case VT_BSTR: {
        char text[32];
        std::snprintf(text, sizeof text, "%.15G", value);
        out = vorn::Variant::bstrFromUtf8(text);
        return ChangeResult::ok;
    }
    default:
        break;
    }
    if (!std::isfinite(value))
        return ChangeResult::overflow;
    const double rounded = std::nearbyint(value); // half to even
    if (rounded < -9.2e18 || rounded > 9.2e18)
        return ChangeResult::overflow;
    return fromInteger(static_cast<int64_t>(rounded), target, out);
}

ChangeResult convertElement(uint8_t builtin, const Scalar& element, VARTYPE target,
                            vorn::Variant& out) {
    if (auto b = std::get_if<bool>(&element); b && builtin == BuiltinType::kBoolean)
        return changed(vorn::Variant::boolean(*b), target, out);
    if (auto d = std::get_if<double>(&element)) {
        if (builtin == BuiltinType::kFloat)
            return changed(vorn::Variant::r4(static_cast<float>(*d)), target, out);
        if (builtin == BuiltinType::kDouble)
            return fromDouble(*d, target, out);
    }
    const bool integral = builtin >= BuiltinType::kSByte && builtin <= BuiltinType::kUInt64;
    if (auto i = std::get_if<int64_t>(&element); i && integral)
        return fromInteger(*i, target, out);
    if (auto u = std::get_if<uint64_t>(&element); u && integral)
        return fromInteger(*u, target, out);
    if (auto s = std::get_if<std::string>(&element); s && builtin == BuiltinType::kString)
        return changed(vorn::Variant::bstrFromUtf8(*s), target, out);
    return ChangeResult::typeMismatch;
}

StatusCode statusOf(ChangeResult result) {
    switch (result) {
    case ChangeResult::ok:
        return Status::kGood;
    case ChangeResult::overflow:
        return Status::kBadOutOfRange;
    default:
        return Status::kBadTypeMismatch;
    }
}

} // namespace

StatusCode convertWrittenValue(const Variant& value, VARTYPE native, vorn::Variant& out) {
    // The tag's own type, and any value for a tag without a type, keep the direct mapping.
    if (native == VT_EMPTY || builtinTypeOf(native) == value.type)
        return fromUaVariant(value, native, out);
    const bool tagIsArray = (native & VT_ARRAY) != 0;
    if (value.isArray != tagIsArray || (!value.isArray && value.values.size() != 1))
        return Status::kBadTypeMismatch;
    const VARTYPE element = native & ~VT_ARRAY;
    if (!tagIsArray)
        return statusOf(convertElement(value.type, value.values.front(), element, out));

    vorn::Variant array = vorn::Variant::array(element, value.values.size());
    for (size_t i = 0; i < value.values.size(); ++i) {
        StatusCode status =
            statusOf(convertElement(value.type, value.values[i], element, array.at(i)));
        if (status != Status::kGood)
            return status;
    }
    out = std::move(array);
    return Status::kGood;
}

} // namespace vorn::ua
