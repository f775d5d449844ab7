// The --values file: initial register and bit values, one per line.
//
//   # comment                 (also after an entry)
//   hr 10 0x4148              table address value
//   ir 0..9 7                 a range filled with one value
//   hr 20 "ABCDE"             a string, two characters per register, high byte first
//   unit 17                   the following lines apply to unit 17 only
//
// Lines before the first `unit` line apply to every served unit.
#pragma once

#include "ValueSyntax.h"

#include <istream>
#include <string>
#include <vector>

namespace modbus_sim {

// Throws SyntaxError naming the file and line number of the first bad line.
std::vector<Assignment> readValuesFile(const std::string& path);
std::vector<Assignment> parseValues(std::istream& input, const std::string& sourceName);

} // namespace modbus_sim
