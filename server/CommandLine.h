// The servers' command line: the whole text after the program name is one switch, which
// counts when it starts with "-" or "/" and is compared without regard to case.
#pragma once

#include <string>

namespace vorn {

enum class ServerSwitch { none, regServer, unregServer, embedding, testTool };

ServerSwitch parseServerSwitch(const std::string& textAfterProgram);

// The text after the program name, as the command line carried it (arguments joined by blanks).
std::string textAfterProgram(int argc, char** argv);

} // namespace vorn
