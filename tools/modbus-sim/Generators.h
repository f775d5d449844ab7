// Values that change by themselves, for the demo: a counter, a ramp, a sine and a toggling bit.
#pragma once

#include "DeviceImage.h"

#include <chrono>
#include <vector>

namespace modbus_sim {

enum class Pattern {
    Counter, // register: +1 each second from its current value (a client's write is kept)
    Ramp,    // register: 0 up to 100 and back down, one step each 100 ms (20 s period)
    Sine,    // register: 1000 * sin(2 pi t / 10 s) as int16 (two's complement)
    Toggle   // bit: flips each second
};

struct Generator {
    Pattern pattern;
    Point point; // a single address; no unit means every served unit
};

// Throws SyntaxError when the pattern does not fit the table (a toggle needs a bit table,
// the others a register table).
Generator makeGenerator(Pattern pattern, const Point& point);

class Generators {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kStep{100};

    explicit Generators(std::vector<Generator> generators, Clock::time_point start);

    bool empty() const { return generators_.empty(); }
    // When update() next has something to change.
    Clock::time_point nextUpdate() const { return nextStep_; }
    // Brings every generated value up to `now`.
    void update(DeviceImage& image, Clock::time_point now);

private:
    void applyStep(DeviceImage& image, int unit, const Generator& generator, bool newSecond);

    std::vector<Generator> generators_;
    Clock::time_point start_;
    Clock::time_point nextStep_;
    long long stepsDone_ = 0;
};

} // namespace modbus_sim
