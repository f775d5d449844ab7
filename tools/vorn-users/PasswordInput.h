// Reads a password: from the terminal without echo when standard input is one, else one line
// from standard input (for scripts). Never writes it anywhere.
#pragma once

#include <optional>
#include <string>

namespace vorn::users {

// `prompt` goes to the terminal only. Nothing when input ends first.
std::optional<std::string> readPassword(const std::string& prompt);

} // namespace vorn::users
