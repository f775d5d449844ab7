// The small texts a browser sends inside a request: percent-encoded query and form fields
// ("a=1&b=x%20y"), and the Cookie header ("name=value; other=...").
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorn::web {

// "%41+b" -> "A b"; nothing for a broken escape.
std::optional<std::string> percentDecoded(std::string_view text);
// The decoded value of the first field `name` of a query or form body; nothing when absent or
// broken.
std::optional<std::string> formField(std::string_view fields, std::string_view name);
// The value of the cookie `name`; empty when absent.
std::string cookieValue(std::string_view header, std::string_view name);

} // namespace vorn::web
