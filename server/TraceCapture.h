// Collects the trace lines written while it lives instead of printing them, warnings at least
// whatever VORN_TRACE says (a skipped element is a warning: none may be missed). The lines
// then go where their reader wants: printed by --check-config, kept for the status page.
#pragma once

#include "toolkit/SOCmnTrace.h"

#include <mutex>
#include <string>
#include <vector>

namespace vorn {

struct TracedLine {
    TraceLevel level;
    std::string id;
    std::string text;
};

class TraceCapture {
public:
    TraceCapture();
    ~TraceCapture(); // the trace's own sink and level again
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    std::vector<TracedLine> lines() const;

private:
    mutable std::mutex mutex_;
    std::vector<TracedLine> lines_;
    TraceLevel levelBefore_;
    SOCmnTrace::Sink sinkBefore_;
};

} // namespace vorn
