#include "TraceCapture.h"

namespace vorn {

TraceCapture::TraceCapture() : levelBefore_(getSOCmnTrace().level()) {
    SOCmnTrace& trace = getSOCmnTrace();
    if (!trace.isEnabled(TraceLevel::warning))
        trace.setLevel(TraceLevel::warning);
    sinkBefore_ =
        trace.setSink([this](TraceLevel level, const std::string& id, const std::string& text) {
            std::lock_guard lock(mutex_);
            lines_.push_back({level, id, text});
        });
}

TraceCapture::~TraceCapture() {
    SOCmnTrace& trace = getSOCmnTrace();
    trace.setSink(std::move(sinkBefore_));
    trace.setLevel(levelBefore_);
}

std::vector<TracedLine> TraceCapture::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

} // namespace vorn
