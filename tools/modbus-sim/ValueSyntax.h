// The text forms shared by the command line and the values file: table names, addresses,
// address ranges, unit identifiers and register/bit values.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace modbus_sim {

// Thrown for any malformed piece of text; the message says what was wrong and is shown as is.
class SyntaxError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Table { Coil, DiscreteInput, HoldingRegister, InputRegister };

constexpr bool isBitTable(Table table) {
    return table == Table::Coil || table == Table::DiscreteInput;
}
std::string_view tableName(Table table);
// The table a standard function code reads or writes (1, 5, 15 coils; 2 discrete inputs; 3,
// 6, 16 holding registers; 4 input registers); none for other codes.
std::optional<Table> tableOfFunction(int function);

// One table address or address range of one unit (no unit: every served unit).
struct Point {
    std::optional<int> unit;
    Table table = Table::HoldingRegister;
    std::uint16_t first = 0;
    std::uint32_t count = 1; // 1..65536
};

// Values written into a table from `first` on; one entry per register or bit.
struct Assignment {
    Point point;
    std::vector<std::uint16_t> values;
};

constexpr int kMaxUnit = 255;

Table parseTable(std::string_view text);                     // "hr", "ir", "coil", "di"
int parseUnit(std::string_view text);                        // 0..255
void parseAddressRange(std::string_view text, Point& point); // "10" or "0..9"
// "[unit:]table:address[..last]", as used by --set and the changing-value options.
Point parsePoint(std::string_view text);
// A number (decimal, 0x hex, negative as int16), or for registers a "quoted string" packed two
// characters per register, high byte first. A number fills the whole range of the point; a string
// fills as many registers as it needs, starting at the point's first address.
Assignment parseAssignment(const Point& point, std::string_view valueText);
// "[unit:]table:address[..last]=value" (--set).
Assignment parseSetOption(std::string_view text);

std::string_view trim(std::string_view text);

} // namespace modbus_sim
