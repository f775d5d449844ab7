// How a unit's connection is written: the rules the servers read the address and COM port
// with, shared by the unit dialog and the file reader so both refuse the same texts.
#pragma once

#include <optional>
#include <string>

namespace vorn::editor {

// A dotted IPv4 address: four decimal numbers 0..255 ("10.0.0.7"). Names are not looked up.
bool isIpv4Address(const std::string& text);
// The address the servers connect to for `text`, read as inet_aton reads it ("010" is octal 8,
// "10.1" is 10.0.0.1), as a dotted quad; none when the servers cannot read it.
std::optional<std::string> servedIpv4Address(const std::string& text);
// A port name the servers open: at most 9 characters (COM1..COM999999, or a name the
// registry maps to a device). The unit dialog offers COM1..COM255 only.
bool isServedPortName(const std::string& com);
// The number of a COM port written "COM" followed by a whole number 1..255 and nothing else
// ("COM12" gives 12); none for anything else ("com1", "COM", "COM1.5", "COM256").
std::optional<int> comPortNumber(const std::string& com);

} // namespace vorn::editor
