// The toolkit trace: leveled lines with a short identifier, to stderr or a capturing sink.
#pragma once

#include <functional>
#include <mutex>
#include <string>

namespace vorn {

enum class TraceLevel { error = 1, warning = 2, info = 3, debug = 4 };

class SOCmnTrace {
public:
    using Sink = std::function<void(TraceLevel, const std::string& id, const std::string& text)>;

    // Lines above `level` are dropped. Default: warning (VORN_TRACE=error|warning|info|debug).
    void setLevel(TraceLevel level);
    TraceLevel level() const;
    bool isEnabled(TraceLevel level) const;
    void trace(TraceLevel level, const std::string& id, const std::string& text);
    // Replaces the stderr output (an empty sink restores it); returns the previous sink.
    Sink setSink(Sink sink);

private:
    mutable std::mutex mutex_;
    TraceLevel level_ = initialLevel();
    Sink sink_;
    static TraceLevel initialLevel();
};

SOCmnTrace& getSOCmnTrace();

} // namespace vorn
