#include "LineLoad.h"

#include <algorithm>

namespace vorn::modbus {
namespace {

int64_t secondOf(LineLoad::Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count();
}

LineLoad::Clock::time_point startOf(int64_t second) {
    return LineLoad::Clock::time_point(std::chrono::seconds(second));
}

} // namespace

void LineLoad::addToSecond(int64_t number, Clock::duration busy) {
    Second& slot = seconds_[static_cast<size_t>(number) % seconds_.size()];
    if (slot.number != number)
        slot = Second{number, {}};
    slot.busy += busy;
}

void LineLoad::addBusy(Clock::time_point from, Clock::time_point to) {
    if (to <= from)
        return;
    std::lock_guard lock(mutex_);
    if (!first_)
        first_ = from;
    // A transaction may span a second's boundary: each second gets its own part.
    for (int64_t second = secondOf(from); from < to; ++second) {
        const Clock::time_point end = std::min(to, startOf(second + 1));
        addToSecond(second, end - from);
        from = end;
    }
}

double LineLoad::share(Clock::time_point now) const {
    std::lock_guard lock(mutex_);
    if (!first_ || now <= *first_)
        return 0;
    // The window starts at a whole second, so that the seconds counted lie inside it.
    const int64_t oldest = secondOf(now - std::chrono::seconds(kWindowSeconds));
    const int64_t newest = secondOf(now);
    const Clock::time_point windowStart = std::max(*first_, startOf(oldest));
    Clock::duration busy{};
    for (const Second& slot : seconds_)
        if (slot.number >= oldest && slot.number <= newest)
            busy += slot.busy;
    const double share = std::chrono::duration<double>(busy).count() /
                         std::chrono::duration<double>(now - windowStart).count();
    return std::clamp(share, 0.0, 1.0);
}

} // namespace vorn::modbus
