// A Win32-style event: manual reset (stays set until reset) or auto reset (one waiter takes
// it), with a bounded wait.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace vorn {

class Event {
public:
    enum class Reset { manual, automatic };
    static constexpr uint32_t kInfinite = 0xFFFFFFFF;

    explicit Event(Reset reset = Reset::automatic, bool initiallySet = false)
        : manual_(reset == Reset::manual), set_(initiallySet) {}

    void set();
    void reset();
    // True when the event was set within `timeoutMs` (kInfinite waits without limit).
    bool wait(uint32_t timeoutMs);
    bool isSet() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    const bool manual_;
    bool set_;
};

} // namespace vorn
