#include "SOCmnTrace.h"

#include "platform/ServiceManager.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace vorn {
namespace {

const char* levelName(TraceLevel level) {
    switch (level) {
    case TraceLevel::error:
        return "error";
    case TraceLevel::warning:
        return "warning";
    case TraceLevel::info:
        return "info";
    default:
        return "debug";
    }
}

JournalPriority journalPriorityOf(TraceLevel level) {
    switch (level) {
    case TraceLevel::error:
        return JournalPriority::error;
    case TraceLevel::warning:
        return JournalPriority::warning;
    case TraceLevel::info:
        return JournalPriority::info;
    default:
        return JournalPriority::debug;
    }
}

} // namespace

TraceLevel SOCmnTrace::initialLevel() {
    const char* wanted = std::getenv("VORN_TRACE");
    if (!wanted)
        return TraceLevel::warning;
    for (TraceLevel l :
         {TraceLevel::error, TraceLevel::warning, TraceLevel::info, TraceLevel::debug})
        if (std::strcmp(wanted, levelName(l)) == 0)
            return l;
    return TraceLevel::warning;
}

void SOCmnTrace::setLevel(TraceLevel level) {
    std::lock_guard lock(mutex_);
    level_ = level;
}

TraceLevel SOCmnTrace::level() const {
    std::lock_guard lock(mutex_);
    return level_;
}

bool SOCmnTrace::isEnabled(TraceLevel level) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(level) <= static_cast<int>(level_);
}

void SOCmnTrace::trace(TraceLevel level, const std::string& id, const std::string& text) {
    std::lock_guard lock(mutex_);
    if (static_cast<int>(level) > static_cast<int>(level_))
        return;
    if (sink_) {
        sink_(level, id, text);
        return;
    }
    std::fprintf(stderr, "%s[%s] %s: %s\n", journalPrefix(journalPriorityOf(level)),
                 levelName(level), id.c_str(), text.c_str());
}

SOCmnTrace::Sink SOCmnTrace::setSink(Sink sink) {
    std::lock_guard lock(mutex_);
    return std::exchange(sink_, std::move(sink));
}

SOCmnTrace& getSOCmnTrace() {
    static SOCmnTrace trace;
    return trace;
}

} // namespace vorn
