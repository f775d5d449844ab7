// How busy one serial line is: the share of the last seconds during which a transaction held
// it (a request going out, the wait for its reply, the reply coming in; a device that does not
// answer holds the line for its whole timeout). Written by the communication thread that owns
// the line, read by any thread.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>

namespace vorn::modbus {

class LineLoad {
public:
    using Clock = std::chrono::steady_clock;
    // The share is taken over the last this many whole seconds and the current one (or since
    // the first transaction, if later).
    static constexpr int kWindowSeconds = 10;

    // The line was busy from `from` to `to`.
    void addBusy(Clock::time_point from, Clock::time_point to);
    // 0 (idle) to 1 (never idle) over the window ending at `now`; 0 before any transaction.
    double share(Clock::time_point now) const;

private:
    struct Second {
        int64_t number = -1; // whole seconds of the clock; -1 = unused
        Clock::duration busy{};
    };
    void addToSecond(int64_t number, Clock::duration busy);

    mutable std::mutex mutex_;
    std::array<Second, kWindowSeconds + 1> seconds_{}; // a ring, by number modulo its size
    std::optional<Clock::time_point> first_;
};

} // namespace vorn::modbus
