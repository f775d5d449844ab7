#include "Variant.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace vorn {
namespace {

bool isIntegral(VARTYPE vt) {
    switch (vt) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
        return true;
    default:
        return false;
    }
}

bool isReal(VARTYPE vt) {
    return vt == VT_R4 || vt == VT_R8;
}

bool isScalarType(VARTYPE vt) {
    return vt == VT_EMPTY || isIntegral(vt) || isReal(vt) || vt == VT_BSTR || vt == VT_BOOL;
}

struct Range {
    int64_t low;
    int64_t high;
};

// The part of a type's range that a signed 64-bit value can name; a VT_UI8 beyond it is
// handled apart (integralFromUnsigned).
Range rangeOf(VARTYPE vt) {
    switch (vt) {
    case VT_I1:
        return {INT8_MIN, INT8_MAX};
    case VT_UI1:
        return {0, UINT8_MAX};
    case VT_I2:
        return {INT16_MIN, INT16_MAX};
    case VT_UI2:
        return {0, UINT16_MAX};
    case VT_I4:
        return {INT32_MIN, INT32_MAX};
    case VT_I8:
        return {INT64_MIN, INT64_MAX};
    case VT_UI8:
        return {0, INT64_MAX};
    default:
        return {0, UINT32_MAX};
    }
}

// A VT_BOOL word becomes an integral type by truncation, so VARIANT_TRUE is 0xFF in a VT_UI1.
int64_t truncateTo(VARTYPE vt, int64_t word) {
    switch (vt) {
    case VT_I1:
        return static_cast<int8_t>(word);
    case VT_UI1:
        return static_cast<uint8_t>(word);
    case VT_I2:
        return static_cast<int16_t>(word);
    case VT_UI2:
        return static_cast<uint16_t>(word);
    case VT_I4:
        return static_cast<int32_t>(word);
    case VT_I8:
        return word;
    default:
        return static_cast<uint32_t>(word);
    }
}

std::u16string latin(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// Parses a whole decimal number with optional sign, fraction and exponent, blanks around it.
bool parseNumber(const std::u16string& text, double& out) {
    std::string narrow;
    for (char16_t c : text) {
        if (c > 0x7F)
            return false;
        narrow.push_back(static_cast<char>(c));
    }
    const char* begin = narrow.c_str();
    while (*begin == ' ' || *begin == '\t')
        ++begin;
    if (*begin == '\0')
        return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtod(begin, &end);
    if (end == begin || errno == ERANGE || !std::isfinite(out))
        return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end != '\0')
        return false;
    // strtod also takes hexadecimal, "inf" and "nan"; plain decimal text only.
    for (const char* p = begin; p != end; ++p)
        if (*p == 'x' || *p == 'X' || *p == 'n' || *p == 'N' || *p == 'i' || *p == 'I')
            return false;
    return true;
}

// A whole decimal integer with optional sign and blanks around it, parsed exactly: 64-bit
// values beyond 2^53 must not pass through a double. False for any other text or overflow.
bool parseInteger(const std::u16string& text, bool& negative, uint64_t& magnitude) {
    size_t at = text.find_first_not_of(u" \t");
    const size_t end = text.find_last_not_of(u" \t");
    if (at == std::u16string::npos)
        return false;
    negative = text[at] == u'-';
    if (text[at] == u'-' || text[at] == u'+')
        ++at;
    if (at > end)
        return false;
    magnitude = 0;
    for (; at <= end; ++at) {
        const char16_t c = text[at];
        if (c < u'0' || c > u'9')
            return false;
        const uint64_t digit = static_cast<uint64_t>(c - u'0');
        if (magnitude > (UINT64_MAX - digit) / 10)
            return false;
        magnitude = magnitude * 10 + digit;
    }
    return true;
}

bool equalsIgnoringCase(const std::u16string& text, const char* word) {
    size_t i = 0;
    for (; word[i] != '\0'; ++i) {
        if (i >= text.size())
            return false;
        char16_t c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char16_t>(c - 'A' + 'a');
        if (c != static_cast<char16_t>(word[i]))
            return false;
    }
    return i == text.size();
}

std::u16string trimmed(const std::u16string& text) {
    size_t first = text.find_first_not_of(u" \t");
    if (first == std::u16string::npos)
        return {};
    size_t last = text.find_last_not_of(u" \t");
    return text.substr(first, last - first + 1);
}

ChangeResult integralFromInt(VARTYPE target, int64_t value, Variant& out) {
    Range r = rangeOf(target);
    if (value < r.low || value > r.high)
        return ChangeResult::overflow;
    switch (target) {
    case VT_I1:
        out = Variant::i1(static_cast<int8_t>(value));
        break;
    case VT_UI1:
        out = Variant::ui1(static_cast<uint8_t>(value));
        break;
    case VT_I2:
        out = Variant::i2(static_cast<int16_t>(value));
        break;
    case VT_UI2:
        out = Variant::ui2(static_cast<uint16_t>(value));
        break;
    case VT_I4:
        out = Variant::i4(static_cast<int32_t>(value));
        break;
    case VT_I8:
        out = Variant::i8(value);
        break;
    case VT_UI8:
        out = Variant::ui8(static_cast<uint64_t>(value));
        break;
    default:
        out = Variant::ui4(static_cast<uint32_t>(value));
        break;
    }
    return ChangeResult::ok;
}

// Values above INT64_MAX fit only a VT_UI8.
ChangeResult integralFromUnsigned(VARTYPE target, uint64_t value, Variant& out) {
    if (value <= static_cast<uint64_t>(INT64_MAX))
        return integralFromInt(target, static_cast<int64_t>(value), out);
    if (target != VT_UI8)
        return ChangeResult::overflow;
    out = Variant::ui8(value);
    return ChangeResult::ok;
}

// Floating values round half to even when they become integers, as the platform does.
ChangeResult integralFromDouble(VARTYPE target, double value, Variant& out) {
    // 2^63 and 2^64: the first doubles beyond Int64 and UInt64.
    constexpr double kTwoTo63 = 9223372036854775808.0;
    constexpr double kTwoTo64 = 18446744073709551616.0;
    if (!std::isfinite(value))
        return ChangeResult::overflow;
    const double rounded = std::nearbyint(value);
    if (rounded >= kTwoTo63 && rounded < kTwoTo64)
        return integralFromUnsigned(target, static_cast<uint64_t>(rounded), out);
    if (rounded < -kTwoTo63 || rounded >= kTwoTo63)
        return ChangeResult::overflow;
    return integralFromInt(target, static_cast<int64_t>(rounded), out);
}

ChangeResult integralFromText(VARTYPE target, const std::u16string& text, Variant& out) {
    bool negative = false;
    uint64_t magnitude = 0;
    if (parseInteger(text, negative, magnitude)) {
        if (!negative)
            return integralFromUnsigned(target, magnitude, out);
        if (magnitude > static_cast<uint64_t>(INT64_MAX) + 1)
            return ChangeResult::overflow;
        return integralFromInt(target, static_cast<int64_t>(0 - magnitude), out);
    }
    double value = 0;
    if (!parseNumber(text, value))
        return ChangeResult::typeMismatch;
    return integralFromDouble(target, value, out);
}

std::u16string textOf(const Variant& v) {
    switch (v.type()) {
    case VT_EMPTY:
        return {};
    case VT_BSTR:
        return v.asString();
    case VT_R4: {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.7G", static_cast<double>(v.asFloat()));
        return latin(buffer);
    }
    case VT_R8: {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.15G", v.asDouble());
        return latin(buffer);
    }
    case VT_UI8:
        return latin(std::to_string(v.asUInt64()));
    case VT_BOOL:
        return v.asBool() ? u"-1" : u"0";
    default:
        return latin(std::to_string(v.asInt64()));
    }
}

ChangeResult changeScalar(const Variant& from, VARTYPE target, Variant& out) {
    if (!isScalarType(target))
        return ChangeResult::badType;
    if (from.type() == target) {
        out = from;
        return ChangeResult::ok;
    }
    if (target == VT_EMPTY) {
        out = Variant();
        return ChangeResult::ok;
    }
    if (target == VT_BSTR) {
        out = Variant::bstr(textOf(from));
        return ChangeResult::ok;
    }
    const VARTYPE source = from.type();
    if (target == VT_BOOL) {
        if (source == VT_BSTR) {
            std::u16string t = trimmed(from.asString());
            if (equalsIgnoringCase(t, "true")) {
                out = Variant::boolean(true);
                return ChangeResult::ok;
            }
            if (equalsIgnoringCase(t, "false")) {
                out = Variant::boolean(false);
                return ChangeResult::ok;
            }
            double number = 0;
            if (!parseNumber(t, number))
                return ChangeResult::typeMismatch;
            out = Variant::boolean(number != 0.0);
            return ChangeResult::ok;
        }
        out = Variant::boolean(from.asNumber() != 0.0);
        return ChangeResult::ok;
    }
    if (isReal(target)) {
        double value = 0;
        if (source == VT_BSTR) {
            if (!parseNumber(from.asString(), value))
                return ChangeResult::typeMismatch;
        } else if (source != VT_EMPTY) {
            value = from.asNumber();
        }
        if (target == VT_R8) {
            out = Variant::r8(value);
            return ChangeResult::ok;
        }
        // Infinities and NaN stay what they are; a finite value beyond a float overflows.
        if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max())
            return ChangeResult::overflow;
        out = Variant::r4(static_cast<float>(value));
        return ChangeResult::ok;
    }
    // Integral targets.
    switch (source) {
    case VT_EMPTY:
        return integralFromInt(target, 0, out);
    case VT_BOOL:
        // VARIANT_TRUE in a VT_UI8 is all ones, as in the narrower unsigned types.
        if (target == VT_UI8)
            return integralFromUnsigned(target, static_cast<uint64_t>(from.asInt64()), out);
        return integralFromInt(target, truncateTo(target, from.asInt64()), out);
    case VT_R4:
    case VT_R8:
        return integralFromDouble(target, from.asDouble(), out);
    case VT_BSTR:
        return integralFromText(target, from.asString(), out);
    case VT_UI8:
        return integralFromUnsigned(target, from.asUInt64(), out);
    default:
        return integralFromInt(target, from.asInt64(), out);
    }
}

Variant zeroOf(VARTYPE elementType) {
    Variant zero;
    changeScalar(Variant::i4(0), elementType, zero);
    if (elementType == VT_BSTR)
        zero = Variant::bstr(u"");
    return zero;
}

} // namespace

Variant Variant::r4(float v) {
    Variant x;
    x.vt_ = VT_R4;
    x.real_ = v;
    return x;
}

double Variant::asNumber() const {
    switch (vt_) {
    case VT_R4:
    case VT_R8:
        return real_;
    case VT_UI8:
        return static_cast<double>(asUInt64());
    default:
        return static_cast<double>(int_);
    }
}

Variant Variant::r8(double v) {
    Variant x;
    x.vt_ = VT_R8;
    x.real_ = v;
    return x;
}

Variant Variant::bstr(std::u16string text) {
    Variant x;
    x.vt_ = VT_BSTR;
    x.text_ = std::move(text);
    return x;
}

Variant Variant::bstrFromUtf8(const std::string& text) {
    return bstr(utf8ToUtf16(text));
}

Variant Variant::array(VARTYPE elementType, size_t count) {
    Variant x;
    x.vt_ = static_cast<VARTYPE>(VT_ARRAY | elementType);
    x.elements_.assign(count, zeroOf(elementType));
    return x;
}

void Variant::resize(size_t count) {
    elements_.resize(count, zeroOf(elementType()));
}

std::string Variant::toUtf8() const {
    return utf16ToUtf8(textOf(*this));
}

ChangeResult Variant::changeType(VARTYPE target) {
    ChangeResult result;
    Variant next = converted(target, result);
    if (result == ChangeResult::ok)
        *this = std::move(next);
    return result;
}

Variant Variant::converted(VARTYPE target, ChangeResult& result) const {
    Variant out;
    const bool targetIsArray = (target & VT_ARRAY) != 0;
    if (targetIsArray != isArray()) {
        result = ChangeResult::typeMismatch;
        return out;
    }
    if (!targetIsArray) {
        result = changeScalar(*this, target, out);
        return out;
    }
    const VARTYPE elementTarget = target & ~VT_ARRAY;
    if (!isScalarType(elementTarget) || elementTarget == VT_EMPTY) {
        result = ChangeResult::badType;
        return out;
    }
    out.vt_ = target;
    out.elements_.reserve(elements_.size());
    for (const Variant& element : elements_) {
        Variant changed;
        result = changeScalar(element, elementTarget, changed);
        if (result != ChangeResult::ok)
            return Variant();
        out.elements_.push_back(std::move(changed));
    }
    result = ChangeResult::ok;
    return out;
}

bool Variant::operator==(const Variant& other) const {
    return vt_ == other.vt_ && int_ == other.int_ && real_ == other.real_ && text_ == other.text_ &&
           elements_ == other.elements_;
}

std::string vartypeName(VARTYPE vt) {
    std::string base;
    switch (vt & ~VT_ARRAY) {
    case VT_EMPTY:
        base = "VT_EMPTY";
        break;
    case VT_I1:
        base = "VT_I1";
        break;
    case VT_UI1:
        base = "VT_UI1";
        break;
    case VT_I2:
        base = "VT_I2";
        break;
    case VT_UI2:
        base = "VT_UI2";
        break;
    case VT_I4:
        base = "VT_I4";
        break;
    case VT_UI4:
        base = "VT_UI4";
        break;
    case VT_I8:
        base = "VT_I8";
        break;
    case VT_UI8:
        base = "VT_UI8";
        break;
    case VT_R4:
        base = "VT_R4";
        break;
    case VT_R8:
        base = "VT_R8";
        break;
    case VT_BSTR:
        base = "VT_BSTR";
        break;
    case VT_BOOL:
        base = "VT_BOOL";
        break;
    default:
        base = "VT_" + std::to_string(vt & ~VT_ARRAY);
        break;
    }
    return (vt & VT_ARRAY) ? base + " ARRAY" : base;
}

std::string utf16ToUtf8(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD; // a lone surrogate cannot be written as UTF-8
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::u16string utf8ToUtf16(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        uint32_t c = 0xFFFD;
        size_t length = 1;
        if (lead < 0x80) {
            c = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            c = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            c = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            c = lead & 0x07;
        }
        bool valid = lead < 0x80 || length > 1;
        if (i + length > text.size())
            valid = false;
        for (size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                valid = false;
            else
                c = (c << 6) | (next & 0x3F);
        }
        if (!valid) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        i += length;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

} // namespace vorn
