// How the dialogs read numbers typed into text boxes.
//
// Numeric: optional blanks, an optional sign, digits with at most one decimal point and at
// least one digit, optional blanks ("12", " -3 ", "2.5", ".5"). No exponent, no thousands
// separators, no hexadecimal.
//
// Leading number: blanks skipped, then an optional sign and the digits (and fraction) that
// follow; whatever comes after is ignored, and a text that starts with none gives 0
// ("19200 b/s" gives 19200, "abc" gives 0).
//
// Whole values are rounded half to even, as the editor's runtime converts numbers.
#pragma once

#include <optional>
#include <string>

namespace vorn::editor {

bool isNumeric(const std::string& text);
double leadingNumber(const std::string& text);
// The numeric text's value rounded to a whole number; none when it is not numeric.
std::optional<long long> wholeValue(const std::string& text);
// As wholeValue, and none also when the value lies outside [low, high].
std::optional<long long> wholeValueIn(const std::string& text, long long low, long long high);

} // namespace vorn::editor
