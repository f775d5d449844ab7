#include "HexText.h"

#include <charconv>

namespace vorn::ua::security {

std::string toHex(std::string_view bytes, HexDigits digits) {
    const char* set = digits == HexDigits::upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out.push_back(set[c >> 4]);
        out.push_back(set[c & 0xF]);
    }
    return out;
}

std::optional<std::string> fromHex(std::string_view text) {
    if (text.size() % 2)
        return std::nullopt;
    std::string out;
    for (size_t i = 0; i < text.size(); i += 2) {
        unsigned value = 0;
        auto [end, error] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
        if (error != std::errc() || end != text.data() + i + 2)
            return std::nullopt;
        out.push_back(static_cast<char>(value));
    }
    return out;
}

} // namespace vorn::ua::security
