#include "FormText.h"

namespace vorn::web {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Calls `each(name, value)` for every "name=value" part between `separator`s, until it
// returns true.
template <typename Each> void forEachPair(std::string_view text, char separator, Each each) {
    while (!text.empty()) {
        const size_t end = text.find(separator);
        std::string_view part = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        while (!part.empty() && part.front() == ' ')
            part.remove_prefix(1);
        const size_t equals = part.find('=');
        if (equals != std::string_view::npos &&
            each(part.substr(0, equals), part.substr(equals + 1)))
            return;
    }
}

} // namespace

std::optional<std::string> percentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            const int high = hexDigit(text[i + 1]);
            const int low = hexDigit(text[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::optional<std::string> formField(std::string_view fields, std::string_view name) {
    std::optional<std::string> found;
    forEachPair(fields, '&', [&](std::string_view key, std::string_view value) {
        if (key != name)
            return false;
        found = percentDecoded(value);
        return true;
    });
    return found;
}

std::string cookieValue(std::string_view header, std::string_view name) {
    std::string found;
    forEachPair(header, ';', [&](std::string_view key, std::string_view value) {
        if (key != name)
            return false;
        found = std::string(value);
        return true;
    });
    return found;
}

} // namespace vorn::web
