// CSV files as spreadsheets write and read them: the bytes become UTF-8 text (a BOM is dropped;
// text that is not valid UTF-8 is taken as ISO-8859-1, as older spreadsheet programs save it),
// the separator is a comma or a semicolon (many locales write ";"), and records follow RFC 4180:
// fields in double quotes may hold separators, line ends and doubled quotes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::editor {

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// One record and the spreadsheet row it is shown in (the first record is row 1).
struct CsvRecord {
    int row = 0;
    std::vector<std::string> fields;
};

struct CsvTable {
    char separator = ',';
    std::vector<CsvRecord> records; // blank lines left out
};

// The file's bytes as UTF-8, without a BOM.
std::string csvTextAsUtf8(std::string_view bytes);

// Splits UTF-8 text into records. The separator is the one of "," and ";" the first line holds
// more often outside quotes (a comma on a tie). A problem (a quote never closed) names its row.
struct CsvParse {
    CsvTable table;
    std::optional<std::string> problem;
};
CsvParse parseCsv(std::string_view text);

// One line of the file: the fields joined by `separator`, each quoted where it holds the
// separator, a quote, a line end or blanks at either end; "\r\n" at the end.
std::string csvLine(const std::vector<std::string>& fields, char separator = ',');

// A field without the blanks and tabs around it; ASCII letters in lower case, for names that
// are matched without regard to case.
std::string trimmedField(std::string_view text);
std::string lowerCase(std::string_view text);

// The number of characters of UTF-8 text, as a text box counts them.
size_t utf8Length(std::string_view text);

} // namespace vorn::editor
