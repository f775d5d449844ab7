// Per-unit misbehaviour that tests switch on: exception answers, silence, late answers.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <utility>

namespace modbus_sim {

struct FaultSwitches {
    std::map<std::pair<int, int>, int> exceptions; // (unit, function) -> exception code
    std::set<int> silentUnits;
    int delayMs = 0;                // every unit
    std::map<int, int> unitDelayMs; // overrides delayMs for one unit

    std::optional<int> exceptionFor(int unit, int function) const {
        auto found = exceptions.find({unit, function});
        return found == exceptions.end() ? std::nullopt : std::optional<int>(found->second);
    }
    bool isSilent(int unit) const { return silentUnits.contains(unit); }
    int delayFor(int unit) const {
        auto found = unitDelayMs.find(unit);
        return found == unitDelayMs.end() ? delayMs : found->second;
    }
};

} // namespace modbus_sim
