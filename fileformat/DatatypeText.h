// How the servers read a tag's "datatype" text ("HREGISTER VT_I2 ARRAY"): they look for tokens
// anywhere in it, in a fixed order, and the first one found decides. Blanks between or after
// the tokens therefore change nothing. Shared so that the editor opens a type as it is served.
#pragma once

#include <string_view>

namespace vorn::format {

// Register kinds in the order they are looked for; none found means a holding register.
inline constexpr std::string_view kKindTokens[] = {"COIL", "INPUTSTATUS", "HREGISTER", "IREGISTER"};

// Data types in the order they are looked for: array forms before their scalar forms, so that
// "VT_I2 ARRAY" is an array and never a VT_I2. "COIL" and "INPUTSTATUS" alone are booleans.
inline constexpr std::string_view kTypeTokens[] = {
    "VT_BOOL ARRAY", "COIL ARRAY",   "INPUTSTATUS ARRAY",
    "VT_UI1 ARRAY",  "VT_UI2 ARRAY", "VT_UI4 ARRAY",
    "VT_I1 ARRAY",   "VT_I2 ARRAY",  "VT_I4 ARRAY",
    "VT_R4 ARRAY",   "VT_UI8 ARRAY", "VT_I8 ARRAY",
    "VT_R8 ARRAY",   "VT_BSTR",      "VT_BOOL",
    "COIL",          "INPUTSTATUS",  "VT_UI2",
    "VT_UI4",        "VT_I2",        "VT_I4",
    "VT_R4",         "VT_UI8",       "VT_I8",
    "VT_R8",
};

// The first of `tokens` that `text` contains; empty when none.
template <size_t N>
constexpr std::string_view firstTokenIn(std::string_view text,
                                        const std::string_view (&tokens)[N]) {
    for (std::string_view token : tokens)
        if (text.find(token) != std::string_view::npos)
            return token;
    return {};
}

constexpr std::string_view kindTokenOf(std::string_view datatype) {
    return firstTokenIn(datatype, kKindTokens);
}

constexpr std::string_view typeTokenOf(std::string_view datatype) {
    return firstTokenIn(datatype, kTypeTokens);
}

} // namespace vorn::format
