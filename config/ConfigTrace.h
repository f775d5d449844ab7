// The configuration's "CFG" trace lines: a warning names the file's line of the element it is
// about, so that whoever reads it can go straight there.
#pragma once

#include "platform/XmlDom.h"

#include <string>

namespace vorn {

inline constexpr const char* kConfigTraceId = "CFG";

// "line 12: " + text, or text alone when the node's line is not known.
void traceConfigWarning(const DomDocument* document, const DomNode& at, const std::string& text);

// Text in double quotes, cut short: a hostile file may hold names of megabytes.
std::string quotedForTrace(const std::string& text);

} // namespace vorn
