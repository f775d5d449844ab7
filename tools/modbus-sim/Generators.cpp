#include "Generators.h"

#include <cmath>
#include <numbers>

namespace modbus_sim {
namespace {

constexpr long long kStepsPerSecond = 10;
constexpr long long kRampTop = 100;
constexpr double kSineAmplitude = 1000.0;
constexpr double kSinePeriodSteps = 100.0; // 10 s

std::uint16_t rampValue(long long step) {
    long long phase = step % (2 * kRampTop);
    return static_cast<std::uint16_t>(phase <= kRampTop ? phase : 2 * kRampTop - phase);
}

std::uint16_t sineValue(long long step) {
    double angle = 2.0 * std::numbers::pi * static_cast<double>(step) / kSinePeriodSteps;
    auto value = static_cast<std::int16_t>(std::lround(kSineAmplitude * std::sin(angle)));
    return static_cast<std::uint16_t>(value);
}

} // namespace

Generator makeGenerator(Pattern pattern, const Point& point) {
    if (point.count != 1)
        throw SyntaxError("a changing value takes a single address, not a range");
    bool wantsBits = pattern == Pattern::Toggle;
    if (wantsBits != isBitTable(point.table))
        throw SyntaxError(wantsBits
                              ? "--toggle needs a bit table (coil or di)"
                              : "--counter, --ramp and --sine need a register table (hr or ir)");
    return Generator{pattern, point};
}

Generators::Generators(std::vector<Generator> generators, Clock::time_point start)
    : generators_(std::move(generators)), start_(start), nextStep_(start) {}

void Generators::update(DeviceImage& image, Clock::time_point now) {
    if (generators_.empty())
        return;
    // Steps missed while the loop was busy are caught up at once, so values follow the clock.
    while (nextStep_ <= now) {
        bool newSecond = stepsDone_ > 0 && stepsDone_ % kStepsPerSecond == 0;
        for (const Generator& generator : generators_) {
            if (generator.point.unit) {
                applyStep(image, *generator.point.unit, generator, newSecond);
            } else {
                for (int unit : image.units())
                    applyStep(image, unit, generator, newSecond);
            }
        }
        ++stepsDone_;
        nextStep_ = start_ + stepsDone_ * kStep;
    }
}

void Generators::applyStep(DeviceImage& image, int unit, const Generator& generator,
                           bool newSecond) {
    const Point& point = generator.point;
    std::uint16_t current = image.read(unit, point.table, point.first);
    switch (generator.pattern) {
    case Pattern::Counter:
        if (newSecond)
            image.write(unit, point.table, point.first, static_cast<std::uint16_t>(current + 1));
        break;
    case Pattern::Toggle:
        if (newSecond)
            image.write(unit, point.table, point.first, current ? 0 : 1);
        break;
    case Pattern::Ramp:
        image.write(unit, point.table, point.first, rampValue(stepsDone_));
        break;
    case Pattern::Sine:
        image.write(unit, point.table, point.first, sineValue(stepsDone_));
        break;
    }
}

} // namespace modbus_sim
