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

// Wide integers go through the toolkit's 64-bit types, whose type change checks the target's
// range (and gives text, Float and Boolean what they can take).
template <typename Integer>
ChangeResult fromInteger(Integer value, VARTYPE target, vorn::Variant& out) {
    if (std::in_range<int64_t>(value))
        return changed(vorn::Variant::i8(static_cast<int64_t>(value)), target, out);
    return changed(vorn::Variant::ui8(static_cast<uint64_t>(value)), target, out);
}

// A Double keeps its precision up to the target: it is not squeezed through a Float first.
ChangeResult fromDouble(double value, VARTYPE target, vorn::Variant& out) {
    switch (target) {
    case VT_R4:
        if (std::fabs(value) > FLT_MAX)
            return ChangeResult::overflow;
        out = vorn::Variant::r4(static_cast<float>(value));
        return ChangeResult::ok;
    case VT_BSTR: {
        char text[32];
        std::snprintf(text, sizeof text, "%.15G", value);
        out = vorn::Variant::bstrFromUtf8(text);
        return ChangeResult::ok;
    }
    default:
        // Integers round half to even and must fit; a Double target keeps the value.
        return changed(vorn::Variant::r8(value), target, out);
    }
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
