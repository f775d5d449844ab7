// The program's version information: what the main window's caption and the about box show.
#pragma once

#include <string>
#include <vector>

namespace vorn::editor {

inline constexpr const char* kCompanyName = "Vorn Automation";
inline constexpr const char* kProductName = "Quillmar";
inline constexpr const char* kFileDescription =
    "Configuration editor for the Tarnvale and Rennick Modbus OPC servers";

// "Vorn Automation - Quillmar".
std::string mainWindowCaption();
// Major, minor and revision of the build, joined by "." (for example 1.10.0).
std::string productVersion();
// The maker's address, telephone, fax, web and e-mail lines.
const std::vector<std::string>& makerContactLines();

} // namespace vorn::editor
