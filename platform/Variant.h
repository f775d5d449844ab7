// The value type carried by tags, requests and caches: a tagged value with the VT_* codes of
// OLE Automation and one-dimensional arrays, plus type change with VariantChangeType's rules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorn {

using VARTYPE = uint16_t;

enum : VARTYPE {
    VT_EMPTY = 0,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_BOOL = 11,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_ARRAY = 0x2000,
};

// VT_BOOL keeps its 16-bit word: VARIANT_TRUE is -1, but any non-zero word reads as true.
constexpr int16_t VARIANT_TRUE = -1;
constexpr int16_t VARIANT_FALSE = 0;

// Outcome of a type change, with the HRESULT meanings of the platform it stands in for.
enum class ChangeResult { ok, typeMismatch, overflow, badType };

class Variant {
public:
    Variant() = default;
    static Variant i1(int8_t v) { return integral(VT_I1, v); }
    static Variant ui1(uint8_t v) { return integral(VT_UI1, v); }
    static Variant i2(int16_t v) { return integral(VT_I2, v); }
    static Variant ui2(uint16_t v) { return integral(VT_UI2, v); }
    static Variant i4(int32_t v) { return integral(VT_I4, v); }
    static Variant ui4(uint32_t v) { return integral(VT_UI4, v); }
    static Variant i8(int64_t v) { return integral(VT_I8, v); }
    // Kept as its bit pattern in the shared 64-bit view: read it back with asUInt64().
    static Variant ui8(uint64_t v) { return integral(VT_UI8, static_cast<int64_t>(v)); }
    static Variant boolWord(int16_t word) { return integral(VT_BOOL, word); }
    static Variant boolean(bool v) { return boolWord(v ? VARIANT_TRUE : VARIANT_FALSE); }
    static Variant r4(float v);
    static Variant r8(double v);
    static Variant bstr(std::u16string text);
    static Variant bstrFromUtf8(const std::string& text);
    // A one-dimensional array of `count` zero (or empty-string) elements of `elementType`.
    static Variant array(VARTYPE elementType, size_t count);

    VARTYPE type() const { return vt_; }
    bool isEmpty() const { return vt_ == VT_EMPTY; }
    bool isArray() const { return (vt_ & VT_ARRAY) != 0; }
    VARTYPE elementType() const { return vt_ & ~VT_ARRAY; }

    // Scalar access. Integral kinds (including VT_BOOL's word) share one signed 64-bit view;
    // a VT_UI8 above INT64_MAX reads right only through asUInt64(). VT_R4 and VT_R8 share one
    // double (a float widened exactly).
    int64_t asInt64() const { return int_; }
    uint64_t asUInt64() const { return static_cast<uint64_t>(int_); }
    float asFloat() const { return static_cast<float>(real_); }
    double asDouble() const { return real_; }
    // A numeric scalar's value as a double (64-bit integers beyond 2^53 to the nearest).
    double asNumber() const;
    bool asBool() const { return int_ != 0; }
    const std::u16string& asString() const { return text_; }
    std::string toUtf8() const;

    // Array access; elements are scalars of elementType().
    size_t size() const { return elements_.size(); }
    const Variant& at(size_t i) const { return elements_.at(i); }
    Variant& at(size_t i) { return elements_.at(i); }
    const std::vector<Variant>& elements() const { return elements_; }
    void resize(size_t count); // new elements are zero of elementType()

    // Converts to `target` as VariantChangeType does; on failure *this is unchanged.
    ChangeResult changeType(VARTYPE target);
    // Same, into a copy; `result` receives the outcome.
    Variant converted(VARTYPE target, ChangeResult& result) const;

    bool operator==(const Variant& other) const;

private:
    static Variant integral(VARTYPE vt, int64_t v) {
        Variant x;
        x.vt_ = vt;
        x.int_ = v;
        return x;
    }

    VARTYPE vt_ = VT_EMPTY;
    int64_t int_ = 0;
    double real_ = 0.0;
    std::u16string text_;
    std::vector<Variant> elements_;
};

// Name of a type code, e.g. "VT_I2" or "VT_R4 ARRAY", for traces and messages.
std::string vartypeName(VARTYPE vt);

// Latin-1/UTF-16 <-> UTF-8 helpers for the edges (files, clients, terminals).
std::string utf16ToUtf8(const std::u16string& text);
std::u16string utf8ToUtf16(const std::string& text);

} // namespace vorn
