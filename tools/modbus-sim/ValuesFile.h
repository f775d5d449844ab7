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

#include <functional>
#include <istream>
#include <string>

namespace modbus_sim {

using AssignmentSink = std::function<void(const Assignment&)>;

// Hands each entry to `sink` as it is read, so a large file never has to be held whole.
// Throws SyntaxError naming the file and line number of the first bad line (also for an error
// the sink throws); lines longer than kMaxValuesLine are bad lines.
constexpr std::size_t kMaxValuesLine = 4096;
void readValuesFile(const std::string& path, const AssignmentSink& sink);
void parseValues(std::istream& input, const std::string& sourceName, const AssignmentSink& sink);

} // namespace modbus_sim
