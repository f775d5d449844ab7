// Tells whoever started the simulator that it is serving, and where: the line
// "listening WHERE" on stdout and, when asked for, in a ready file that appears complete at once.
#pragma once

#include <string>

namespace modbus_sim {

// Throws std::runtime_error when the ready file cannot be written.
void reportReady(const std::string& where, const std::string& readyFile);

} // namespace modbus_sim
