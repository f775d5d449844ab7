// Reading values from elements of a parsed configuration file. Element names are matched
// without regard to case; a required value that is absent throws EditorError 91.
#pragma once

#include "platform/XmlDom.h"

#include <optional>
#include <string>

namespace vorn::editor {

// `context` says whose value it is in messages, e.g. "PLC Unit1".
std::string requiredAttribute(const DomNode& element, const char* name, const std::string& context);
std::optional<std::string> optionalAttribute(const DomNode& element, const char* name);

// First child element with that name (any case); null when there is none.
DomNode childElement(const DomNode& element, const char* name);
// Text of an element: its first child's text, or empty when the element has none.
std::string elementText(const DomNode& element);
std::string requiredChildText(const DomNode& element, const char* name, const std::string& context);
std::optional<std::string> optionalChildText(const DomNode& element, const char* name);

} // namespace vorn::editor
