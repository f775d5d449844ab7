#include "FileText.h"

#include "EditorError.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace vorn::editor {
namespace {

// Decodes one UTF-8 sequence at `i`; a malformed byte is taken as the ISO-8859-1 character of
// the same value, so nothing is dropped.
uint32_t nextCodePoint(const std::string& s, size_t& i) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char lead = byte(i);
    size_t length = lead < 0x80           ? 1
                    : (lead >> 5) == 0x6  ? 2
                    : (lead >> 4) == 0xE  ? 3
                    : (lead >> 3) == 0x1E ? 4
                                          : 0;
    if (length <= 1 || i + length > s.size()) {
        ++i;
        return lead;
    }
    uint32_t cp = lead & (0xFF >> (length + 1));
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return lead;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    i += length;
    return cp;
}

std::string encode(const std::string& utf8, bool attribute) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        uint32_t cp = nextCodePoint(utf8, i);
        if (cp == '&')
            out += "&amp;";
        else if (cp == '<')
            out += "&lt;";
        else if (cp == '"' && attribute)
            out += "&quot;";
        else if (cp == '\t' || cp == '\n' || cp == '\r')
            // As references, so that a reader keeps them as they are instead of folding line
            // ends or blanks.
            out += "&#" + std::to_string(cp) + ";";
        else if (cp < 0x20)
            continue; // XML 1.0 carries no other control character, not even as a reference
        else if (cp <= 0xFF)
            out += static_cast<char>(cp);
        else
            out += "&#" + std::to_string(cp) + ";";
    }
    return out;
}

double toNumber(const std::string& text, const std::string& what) {
    size_t first = text.find_first_not_of(" \t\r\n");
    size_t last = text.find_last_not_of(" \t\r\n");
    double value = 0;
    if (first != std::string::npos) {
        const char* begin = text.data() + first;
        const char* end = text.data() + last + 1;
        auto [ptr, ec] = std::from_chars(begin, end, value);
        if (ec == std::errc() && ptr == end && std::isfinite(value))
            return std::nearbyint(value);
        if (ec == std::errc::result_out_of_range)
            throw EditorError(kErrOverflow, "Overflow: " + what + " \"" + text + "\"");
    }
    throw EditorError(kErrTypeMismatch,
                      "Type mismatch: " + what + " \"" + text + "\" is not a number");
}

template <class T>
T toRange(const std::string& text, const std::string& what, double low, double high) {
    double value = toNumber(text, what);
    if (value < low || value > high)
        throw EditorError(kErrOverflow, "Overflow: " + what + " \"" + text + "\" is outside " +
                                            std::to_string(static_cast<long long>(low)) + ".." +
                                            std::to_string(static_cast<long long>(high)));
    return static_cast<T>(value);
}

} // namespace

std::string indent(int level) {
    return std::string(level > 0 ? level : 0, '\t');
}

std::string fileText(const std::string& utf8) {
    return encode(utf8, false);
}

std::string fileAttribute(const std::string& utf8) {
    return encode(utf8, true);
}

uint8_t toByte(const std::string& text, const std::string& what) {
    return toRange<uint8_t>(text, what, 0, 255);
}

int16_t toInteger(const std::string& text, const std::string& what) {
    return toRange<int16_t>(text, what, -32768, 32767);
}

uint16_t toWord(const std::string& text, const std::string& what) {
    return toRange<uint16_t>(text, what, 0, 65535);
}

int32_t toLong(const std::string& text, const std::string& what) {
    return toRange<int32_t>(text, what, -2147483648.0, 2147483647.0);
}

uint16_t toPort(const std::string& text, const std::string& what) {
    return toRange<uint16_t>(text, what, 1, 65535);
}

uint32_t toMilliseconds(const std::string& text, const std::string& what) {
    return toRange<uint32_t>(text, what, 0, 4294967295.0);
}

bool equalsNoCase(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace vorn::editor
