#include "CsvText.h"

namespace vorn::editor {
namespace {

// The length of the UTF-8 sequence starting at `at`, or 0 when it is not a valid one.
size_t utf8SequenceAt(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    unsigned minimum = 0;
    unsigned value = 0;
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, value = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, value = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, value = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(at + i) & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
    if (value < minimum || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF)
        return 0;
    return length;
}

bool isUtf8(std::string_view text) {
    for (size_t at = 0; at < text.size();) {
        const size_t length = utf8SequenceAt(text, at);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

std::string latin1ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

char separatorOfFirstLine(std::string_view text) {
    size_t commas = 0;
    size_t semicolons = 0;
    bool quoted = false;
    for (char c : text) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == '\n' || c == '\r'))
            break;
        else if (!quoted && c == ',')
            ++commas;
        else if (!quoted && c == ';')
            ++semicolons;
    }
    return semicolons > commas ? ';' : ',';
}

bool isBlankRecord(const std::vector<std::string>& fields) {
    return fields.size() == 1 && fields[0].find_first_not_of(" \t") == std::string::npos;
}

} // namespace

std::string csvTextAsUtf8(std::string_view bytes) {
    if (bytes.starts_with(kUtf8Bom))
        bytes.remove_prefix(kUtf8Bom.size());
    return isUtf8(bytes) ? std::string(bytes) : latin1ToUtf8(bytes);
}

CsvParse parseCsv(std::string_view text) {
    CsvParse result;
    const char separator = separatorOfFirstLine(text);
    result.table.separator = separator;
    std::vector<std::string> fields(1);
    int row = 1;
    bool quoted = false;
    bool fieldWasQuoted = false;
    int quoteRow = 0;
    auto endRecord = [&] {
        if (!isBlankRecord(fields))
            result.table.records.push_back({row, std::move(fields)});
        fields.assign(1, {});
        fieldWasQuoted = false;
        ++row;
    };
    for (size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (quoted) {
            if (c != '"') {
                fields.back() += c;
            } else if (at + 1 < text.size() && text[at + 1] == '"') {
                fields.back() += '"';
                ++at;
            } else {
                quoted = false;
            }
        } else if (c == '"' && !fieldWasQuoted &&
                   fields.back().find_first_not_of(" \t") == std::string::npos) {
            // A quoted field; blanks before its opening quote are not part of it.
            fields.back().clear();
            quoted = true;
            fieldWasQuoted = true;
            quoteRow = row;
        } else if (c == separator) {
            fields.emplace_back();
            fieldWasQuoted = false;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && at + 1 < text.size() && text[at + 1] == '\n')
                ++at;
            endRecord();
        } else {
            fields.back() += c;
        }
    }
    if (quoted) {
        result.problem = "Row " + std::to_string(quoteRow) + ": a quoted field is never closed.";
        result.table.records.clear();
        return result;
    }
    endRecord();
    return result;
}

std::string csvLine(const std::vector<std::string>& fields, char separator) {
    std::string line;
    for (size_t at = 0; at < fields.size(); ++at) {
        const std::string& field = fields[at];
        if (at > 0)
            line += separator;
        const bool quote =
            field.find_first_of(std::string{'"', '\r', '\n', separator}) != std::string::npos ||
            (!field.empty() && (field.front() == ' ' || field.back() == ' '));
        if (!quote) {
            line += field;
            continue;
        }
        line += '"';
        for (char c : field) {
            if (c == '"')
                line += '"';
            line += c;
        }
        line += '"';
    }
    return line + "\r\n";
}

std::string trimmedField(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

std::string lowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

size_t utf8Length(std::string_view text) {
    size_t count = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++count;
    return count;
}

} // namespace vorn::editor
