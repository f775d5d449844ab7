// The two maps between the file's register-kind and data-type tokens ("HREGISTER VT_I2") and
// the names the user sees ("holding register:signed 16 bit").
#pragma once

#include <string>

namespace vorn::editor {

// Display text to file text: kind token, then a blank and the type token when the part after
// the first ":" names a type.
std::string TypeToFile(const std::string& display);
// File text to display text: display kind, then ":" and the display type.
std::string TypeToDisplay(const std::string& fileText);

} // namespace vorn::editor
