#include "ErrorTextTable.h"

#include <fstream>
#include <iterator>

namespace vorn::modbus {
namespace {

constexpr size_t kCodeDigits = 4;

std::optional<uint16_t> parseCode(std::string_view line) {
    if (line.size() < kCodeDigits)
        return std::nullopt;
    uint16_t code = 0;
    for (size_t i = 0; i < kCodeDigits; ++i) {
        const char c = line[i];
        int digit = 0;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            return std::nullopt;
        code = static_cast<uint16_t>(code << 4 | digit);
    }
    return code;
}

} // namespace

bool ErrorTextTable::loadOnce(const std::string& path) {
    if (loaded_)
        return true;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::string content(kMaxFileBytes, '\0');
    file.read(content.data(), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<size_t>(file.gcount()));
    parse(content);
    loaded_ = true;
    return true;
}

void ErrorTextTable::parse(std::string_view text) {
    while (!text.empty()) {
        const size_t lineEnd = text.find('\n');
        std::string_view line = text.substr(0, lineEnd);
        text = lineEnd == std::string_view::npos ? std::string_view() : text.substr(lineEnd + 1);
        const std::optional<uint16_t> code = parseCode(line);
        if (!code)
            continue;
        if (*code == kEndCode)
            return;
        // After the code: one separator character, then the text up to CR (or the line's end).
        std::string_view rest = line.substr(kCodeDigits);
        if (!rest.empty() && rest.front() != '\r')
            rest.remove_prefix(1);
        rest = rest.substr(0, rest.find('\r'));
        entries_.push_back(Entry{*code, std::string(rest.substr(0, kMaxTextLength))});
    }
}

std::optional<std::string> ErrorTextTable::lookup(uint16_t code) const {
    for (const Entry& entry : entries_)
        if (entry.code == code)
            return entry.text;
    return std::nullopt;
}

} // namespace vorn::modbus
