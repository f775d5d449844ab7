#include "WriteFit.h"

#include "ValueEncoding.h"

#include <algorithm>

namespace vorn::modbus {
namespace {

constexpr char16_t kLastByteCharacter = 0x00FF;

// Strings may be shorter than the tag (the rest is zeroed); arrays must match it exactly.
bool lengthFits(const TagShape& tag, size_t length) {
    if (tag.nativeType == VT_BSTR)
        return length <= tag.elements;
    if (tag.nativeType & VT_ARRAY)
        return length == tag.elements;
    return true;
}

} // namespace

WriteFit writeFit(const TagShape& tag, const Variant& written) {
    // Checked before converting, so that an overlong value is not copied first.
    if ((written.isArray() || written.type() == VT_BSTR) &&
        !lengthFits(tag, writtenLength(written)))
        return WriteFit::outOfRange;
    Variant value;
    const ChangeResult result = registerValueFor(tag, written, value);
    if (result == ChangeResult::overflow)
        return WriteFit::outOfRange;
    if (result != ChangeResult::ok)
        return WriteFit::notConvertible;
    if (!lengthFits(tag, writtenLength(value)))
        return WriteFit::outOfRange;
    if (value.type() == VT_BSTR) {
        const std::u16string& text = value.asString();
        if (std::any_of(text.begin(), text.end(),
                        [](char16_t c) { return c > kLastByteCharacter; }))
            return WriteFit::outOfRange;
    }
    return WriteFit::fits;
}

} // namespace vorn::modbus
