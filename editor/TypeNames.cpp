#include "TypeNames.h"

#include "fileformat/DatatypeText.h"

#include <array>
#include <string_view>

namespace vorn::editor {
namespace {

struct NamePair {
    std::string_view file;
    std::string_view display;
};

// Searched in this order: the first one found in the text decides.
constexpr std::array<NamePair, 4> kKindSearchFromDisplay{{
    {"INPUTSTATUS", "input status"},
    {"COIL", "coil"},
    {"IREGISTER", "input register"},
    {"HREGISTER", "holding register"},
}};

constexpr std::array<NamePair, 22> kTypes{{
    {"VT_BSTR", "string"},
    {"VT_BOOL", "boolean"},
    {"VT_UI2", "unsigned 16 bit"},
    {"VT_UI4", "unsigned 32 bit"},
    {"VT_I2", "signed 16 bit"},
    {"VT_I4", "signed 32 bit"},
    {"VT_R4", "32 bit float"},
    {"VT_UI8", "unsigned 64 bit"},
    {"VT_I8", "signed 64 bit"},
    {"VT_R8", "64 bit float"},
    {"VT_BOOL ARRAY", "boolean array"},
    {"VT_UI1 ARRAY", "unsigned 8 bit array"},
    {"VT_UI2 ARRAY", "unsigned 16 bit array"},
    {"VT_UI4 ARRAY", "unsigned 32 bit array"},
    {"VT_I1 ARRAY", "signed 8 bit array"},
    {"VT_I2 ARRAY", "signed 16 bit array"},
    {"VT_I4 ARRAY", "signed 32 bit array"},
    {"VT_R4 ARRAY", "32 bit float array"},
    {"VT_UI8 ARRAY", "unsigned 64 bit array"},
    {"VT_I8 ARRAY", "signed 64 bit array"},
    {"VT_R8 ARRAY", "64 bit float array"},
    {"ARRAY", "array"},
}};

} // namespace

std::string TypeToFile(const std::string& display) {
    std::string result;
    for (const auto& kind : kKindSearchFromDisplay) {
        if (display.find(kind.display) != std::string::npos) {
            result = kind.file;
            break;
        }
    }
    size_t colon = display.find(':');
    std::string_view typePart(display);
    if (colon != std::string::npos)
        typePart.remove_prefix(colon + 1);
    for (const auto& type : kTypes) {
        if (typePart == type.display) {
            result += ' ';
            result += type.file;
            break;
        }
    }
    return result;
}

std::string TypeToDisplay(const std::string& fileText) {
    // Read as the servers read it: the tokens they find decide, whatever blanks surround them.
    std::string result;
    const std::string_view kind = format::kindTokenOf(fileText);
    for (const auto& known : kKindSearchFromDisplay) {
        if (kind == known.file)
            result = known.display;
    }
    std::string_view type = format::typeTokenOf(fileText);
    if (type == "COIL ARRAY" || type == "INPUTSTATUS ARRAY")
        type = "ARRAY";
    for (const auto& known : kTypes) {
        if (type == known.file) {
            result += ':';
            result += known.display;
            break;
        }
    }
    return result;
}

} // namespace vorn::editor
