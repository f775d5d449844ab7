// Where the running program lives, for the files kept beside it.
#pragma once

#include <string>

namespace vorn {

// Full path of the running program file; empty when it cannot be found.
std::string programPath();

// Path of `fileName` in the program's folder; empty when the program path is unknown.
std::string besideProgram(const std::string& fileName);

} // namespace vorn
