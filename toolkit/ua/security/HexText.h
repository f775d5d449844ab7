// Bytes as hexadecimal text and back: certificate thumbprints in file names, salts and hashes
// in the account lines.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorn::ua::security {

enum class HexDigits { lower, upper };

// Two digits per byte, first the high nibble.
std::string toHex(std::string_view bytes, HexDigits digits = HexDigits::lower);
// The bytes of `text`; none when it is of odd length or holds anything but hex digits.
std::optional<std::string> fromHex(std::string_view text);

} // namespace vorn::ua::security
