// Reads one configuration value: the text of an attribute, or of an element's first child
// when that child is a text node; anything else counts as absent. Numbers convert as the
// platform's type change does ("12.7" is 13) and must fit their width.
#pragma once

#include "platform/XmlDom.h"

#include <cstdint>
#include <string>

namespace vorn {

enum class ValueState { absent, present, invalid };

ValueState readAttributeText(const DomNode& element, const char* name, std::string& text);
ValueState readElementText(const DomNode& element, std::string& text);

// `text` to an unsigned number of `bits` (8, 16 or 32): invalid when it is no number or
// does not fit.
ValueState toUnsigned(const std::string& text, unsigned bits, uint32_t& value);

} // namespace vorn
