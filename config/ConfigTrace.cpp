#include "ConfigTrace.h"

#include "toolkit/SOCmnTrace.h"

namespace vorn {

void traceConfigWarning(const DomDocument* document, const DomNode& at, const std::string& text) {
    const size_t line = document ? document->positionOf(at).line : 0;
    getSOCmnTrace().trace(TraceLevel::warning, kConfigTraceId,
                          line ? "line " + std::to_string(line) + ": " + text : text);
}

std::string quotedForTrace(const std::string& text) {
    constexpr size_t kShown = 64;
    return "\"" + (text.size() > kShown ? text.substr(0, kShown) + "..." : text) + "\"";
}

} // namespace vorn
