#include "DisplayText.h"

#include <cstdio>

namespace vorn::ui {
namespace {

template <typename... Args> std::string formatted(const char* format, Args... args) {
    char text[400]; // "%f" of the largest double takes 316 characters
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

} // namespace

std::string displayText(const Variant& value, size_t maxChars) {
    switch (value.type()) {
    case VT_I2:
        return formatted("%d", static_cast<int>(static_cast<int16_t>(value.asInt64())));
    case VT_UI2:
        return formatted("%d", static_cast<int>(static_cast<uint16_t>(value.asInt64())));
    case VT_I4:
        return formatted("%ld", static_cast<long>(static_cast<int32_t>(value.asInt64())));
    case VT_UI4:
        return formatted("%lu", static_cast<unsigned long>(static_cast<uint32_t>(value.asInt64())));
    case VT_I8:
        return formatted("%lld", static_cast<long long>(value.asInt64()));
    case VT_UI8:
        return formatted("%llu", static_cast<unsigned long long>(value.asUInt64()));
    case VT_R4:
        return formatted("%f", static_cast<double>(value.asFloat()));
    case VT_R8:
        return formatted("%f", value.asDouble());
    case VT_BSTR: {
        std::u16string shown;
        for (char16_t c : value.asString()) {
            const auto low = static_cast<char16_t>(c & 0xFF);
            if (low == 0 || shown.size() == maxChars)
                break;
            shown.push_back(low);
        }
        return utf16ToUtf8(shown);
    }
    case VT_BOOL:
        return value.asBool() ? "TRUE" : "FALSE";
    default:
        return "[..]";
    }
}

} // namespace vorn::ui
