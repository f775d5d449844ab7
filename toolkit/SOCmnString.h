// String helpers of the toolkit over std::string.
#pragma once

#include <string>

namespace vorn {

struct SOCmnString {
    // Exact, case-sensitive equality.
    static bool areEqual(const std::string& a, const std::string& b) { return a == b; }
    // printf-style formatting into a string of any length.
    [[gnu::format(printf, 1, 2)]] static std::string format(const char* pattern, ...);
    // Replaces every occurrence of `from` (non-empty) by `to`; returns the count.
    static size_t replace(std::string& text, const std::string& from, const std::string& to);
};

} // namespace vorn
