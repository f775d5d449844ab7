#include "ValuesFile.h"

#include <fstream>

namespace modbus_sim {
namespace {

// Drops a '#' comment, leaving any '#' inside a quoted string alone.
std::string_view stripComment(std::string_view line) {
    bool inString = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            inString = !inString;
        else if (line[i] == '#' && !inString)
            return line.substr(0, i);
    }
    return line;
}

// Splits off the first whitespace-separated word of `text`.
std::string_view takeWord(std::string_view& text) {
    text = trim(text);
    auto end = text.find_first_of(" \t");
    auto word = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : trim(text.substr(end));
    return word;
}

// Like std::getline, but gives up on a line longer than kMaxValuesLine instead of growing
// without bound (a values file may be a pipe or a device).
bool readLine(std::istream& input, std::string& line, bool& tooLong) {
    line.clear();
    tooLong = false;
    char character = 0;
    bool any = false;
    while (input.get(character)) {
        any = true;
        if (character == '\n')
            return true;
        if (line.size() >= kMaxValuesLine) {
            tooLong = true;
            return true;
        }
        line += character;
    }
    return any;
}

} // namespace

void parseValues(std::istream& input, const std::string& sourceName, const AssignmentSink& sink) {
    std::optional<int> unit;
    std::string line;
    bool tooLong = false;
    for (int lineNumber = 1; readLine(input, line, tooLong); ++lineNumber) {
        try {
            if (tooLong)
                throw SyntaxError("line longer than " + std::to_string(kMaxValuesLine) +
                                  " characters");
            std::string_view rest = trim(stripComment(line));
            if (rest.empty())
                continue;
            std::string_view keyword = takeWord(rest);
            if (keyword == "unit") {
                std::string_view unitText = takeWord(rest);
                if (!rest.empty())
                    throw SyntaxError("unexpected text after the unit: '" + std::string(rest) +
                                      "'");
                unit = parseUnit(unitText);
                continue;
            }
            Point point;
            point.unit = unit;
            point.table = parseTable(keyword);
            parseAddressRange(takeWord(rest), point);
            if (rest.empty())
                throw SyntaxError("missing value");
            sink(parseAssignment(point, rest));
        } catch (const SyntaxError& error) {
            throw SyntaxError(sourceName + ":" + std::to_string(lineNumber) + ": " + error.what());
        }
    }
}

void readValuesFile(const std::string& path, const AssignmentSink& sink) {
    std::ifstream file(path);
    if (!file)
        throw SyntaxError(path + ": cannot open the values file");
    parseValues(file, path, sink);
}

} // namespace modbus_sim
