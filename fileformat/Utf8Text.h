// Whether a text read from a configuration file is well-formed UTF-8 that OPC UA clients can
// take: no surrogates (U+D800..U+DFFF), nothing above U+10FFFF, no overlong or cut sequences.
// The XML reader turns character references such as "&#xD800;" into such bytes, and a file
// declared UTF-8 may hold bytes of another encoding. The servers skip such names; the editor
// leaves them out as the servers do.
#pragma once

#include <cstdint>
#include <string_view>

namespace vorn::format {

inline bool isWellFormedUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<uint8_t>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        size_t length;
        uint32_t code;
        uint32_t smallest;
        if ((lead & 0xE0) == 0xC0) {
            length = 2, code = lead & 0x1F, smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, code = lead & 0x0F, smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, code = lead & 0x07, smallest = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i < length)
            return false;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

} // namespace vorn::format
