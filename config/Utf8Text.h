// Whether a text read from a configuration file is well-formed UTF-8 that OPC UA clients can
// take: no surrogates (U+D800..U+DFFF), nothing above U+10FFFF, no overlong or cut sequences.
// The XML reader turns character references such as "&#xD800;" into such bytes.
#pragma once

#include <string_view>

namespace vorn {

bool isWellFormedUtf8(std::string_view text);

} // namespace vorn
