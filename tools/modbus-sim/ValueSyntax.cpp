#include "ValueSyntax.h"

#include <charconv>
#include <limits>

namespace modbus_sim {
namespace {

constexpr std::uint32_t kTableSize = 65536;

std::string quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

// Parses the whole text as an integer (decimal, or hex with 0x), else nullopt.
std::optional<long long> parseInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 12)
        return std::nullopt;
    long long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return negative ? -value : value;
}

std::uint16_t parseAddress(std::string_view text) {
    auto value = parseInteger(text);
    if (!value || *value < 0 || *value >= kTableSize)
        throw SyntaxError("bad address " + quoted(text) + " (expected 0..65535)");
    return static_cast<std::uint16_t>(*value);
}

std::vector<std::uint16_t> packString(std::string_view text) {
    std::vector<std::uint16_t> registers((text.size() + 1) / 2, 0);
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<std::uint8_t>(text[i]);
        registers[i / 2] |= (i % 2 == 0) ? static_cast<std::uint16_t>(byte << 8) : byte;
    }
    return registers;
}

} // namespace

std::string_view tableName(Table table) {
    switch (table) {
    case Table::Coil:
        return "coil";
    case Table::DiscreteInput:
        return "di";
    case Table::HoldingRegister:
        return "hr";
    case Table::InputRegister:
        return "ir";
    }
    return "?";
}

std::optional<Table> tableOfFunction(int function) {
    switch (function) {
    case 1:
    case 5:
    case 15:
        return Table::Coil;
    case 2:
        return Table::DiscreteInput;
    case 3:
    case 6:
    case 16:
        return Table::HoldingRegister;
    case 4:
        return Table::InputRegister;
    default:
        return std::nullopt;
    }
}

std::string_view trim(std::string_view text) {
    const char* space = " \t\r\n";
    auto first = text.find_first_not_of(space);
    if (first == std::string_view::npos)
        return {};
    auto last = text.find_last_not_of(space);
    return text.substr(first, last - first + 1);
}

Table parseTable(std::string_view text) {
    for (Table table :
         {Table::Coil, Table::DiscreteInput, Table::HoldingRegister, Table::InputRegister}) {
        if (text == tableName(table))
            return table;
    }
    throw SyntaxError("unknown table " + quoted(text) + " (expected hr, ir, coil or di)");
}

int parseUnit(std::string_view text) {
    auto value = parseInteger(text);
    if (!value || *value < 0 || *value > kMaxUnit)
        throw SyntaxError("bad unit identifier " + quoted(text) + " (expected 0..255)");
    return static_cast<int>(*value);
}

void parseAddressRange(std::string_view text, Point& point) {
    auto dots = text.find("..");
    point.first = parseAddress(text.substr(0, dots));
    point.count = 1;
    if (dots == std::string_view::npos)
        return;
    std::uint16_t last = parseAddress(text.substr(dots + 2));
    if (last < point.first)
        throw SyntaxError("bad address range " + quoted(text) + " (last before first)");
    point.count = static_cast<std::uint32_t>(last - point.first) + 1;
}

Point parsePoint(std::string_view text) {
    Point point;
    auto colon = text.find(':');
    if (colon == std::string_view::npos)
        throw SyntaxError("bad point " + quoted(text) + " (expected [unit:]table:address)");
    auto head = text.substr(0, colon);
    auto rest = text.substr(colon + 1);
    if (auto second = rest.find(':'); second != std::string_view::npos) {
        point.unit = parseUnit(head);
        head = rest.substr(0, second);
        rest = rest.substr(second + 1);
    }
    point.table = parseTable(head);
    parseAddressRange(rest, point);
    return point;
}

Assignment parseAssignment(const Point& point, std::string_view valueText) {
    Assignment assignment{point, {}};
    valueText = trim(valueText);
    if (valueText.size() >= 2 && valueText.front() == '"') {
        if (valueText.back() != '"')
            throw SyntaxError("unterminated string " + std::string(valueText));
        if (isBitTable(point.table))
            throw SyntaxError("a string needs a register table (hr or ir), not " +
                              std::string(tableName(point.table)));
        if (point.count != 1)
            throw SyntaxError("a string takes a single start address, not a range");
        assignment.values = packString(valueText.substr(1, valueText.size() - 2));
        if (assignment.values.empty())
            throw SyntaxError("empty string");
        if (point.first + assignment.values.size() > kTableSize)
            throw SyntaxError("string runs past the last register 65535");
        assignment.point.count = static_cast<std::uint32_t>(assignment.values.size());
        return assignment;
    }
    auto value = parseInteger(valueText);
    if (!value)
        throw SyntaxError("bad value " + quoted(valueText) +
                          " (expected a number, 0x hex, or a \"string\")");
    if (isBitTable(point.table)) {
        if (*value != 0 && *value != 1)
            throw SyntaxError("bad bit value " + quoted(valueText) + " (expected 0 or 1)");
    } else if (*value < std::numeric_limits<std::int16_t>::min() ||
               *value > std::numeric_limits<std::uint16_t>::max()) {
        throw SyntaxError("register value " + quoted(valueText) +
                          " out of range (expected -32768..65535)");
    }
    assignment.values.assign(point.count, static_cast<std::uint16_t>(*value));
    return assignment;
}

Assignment parseSetOption(std::string_view text) {
    auto equals = text.find('=');
    if (equals == std::string_view::npos)
        throw SyntaxError("bad --set " + quoted(text) + " (expected [unit:]table:address=value)");
    return parseAssignment(parsePoint(text.substr(0, equals)), text.substr(equals + 1));
}

} // namespace modbus_sim
