#include "NumericText.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace vorn::editor {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Length of the number at `from` (sign, digits, one point); 0 when there is no digit.
size_t numberLength(const std::string& text, size_t from) {
    size_t at = from;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        ++at;
    bool digit = false;
    bool point = false;
    for (; at < text.size(); ++at) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        if (std::isdigit(c)) {
            digit = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    return digit ? at - from : 0;
}

} // namespace

bool isNumeric(const std::string& text) {
    size_t start = 0;
    while (start < text.size() && isBlank(text[start]))
        ++start;
    const size_t length = numberLength(text, start);
    if (length == 0)
        return false;
    for (size_t at = start + length; at < text.size(); ++at) {
        if (!isBlank(text[at]))
            return false;
    }
    return true;
}

double leadingNumber(const std::string& text) {
    size_t start = 0;
    while (start < text.size() && isBlank(text[start]))
        ++start;
    const size_t length = numberLength(text, start);
    return length == 0 ? 0.0 : std::strtod(text.substr(start, length).c_str(), nullptr);
}

std::optional<long long> wholeValue(const std::string& text) {
    if (!isNumeric(text))
        return std::nullopt;
    const double value = std::nearbyint(leadingNumber(text));
    if (!std::isfinite(value) || std::fabs(value) > 9.0e15)
        return std::nullopt;
    return static_cast<long long>(value);
}

std::optional<long long> wholeValueIn(const std::string& text, long long low, long long high) {
    std::optional<long long> value = wholeValue(text);
    if (!value || *value < low || *value > high)
        return std::nullopt;
    return value;
}

} // namespace vorn::editor
