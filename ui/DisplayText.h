// A tag value as the status window shows it.
#pragma once

#include "platform/Variant.h"

#include <cstddef>
#include <string>

namespace vorn::ui {

// "%d", "%ld", "%lu" or "%f" for numbers, "TRUE"/"FALSE" for VT_BOOL, "[..]" for arrays and
// other types; a string shows at most `maxChars` characters, up to its first zero (UTF-8).
std::string displayText(const Variant& value, size_t maxChars);

} // namespace vorn::ui
