// Per-unit misbehaviour that tests switch on: exception answers, silence, late answers,
// unmapped addresses.
#pragma once

#include "ValueSyntax.h"

#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace modbus_sim {

struct FaultSwitches {
    std::map<std::pair<int, int>, int> exceptions; // (unit, function) -> exception code
    std::set<int> silentUnits;
    int delayMs = 0;                // every unit
    std::map<int, int> unitDelayMs; // overrides delayMs for one unit
    // Addresses the device does not map: a request touching one is answered with exception 2
    // (illegal data address), as real devices answer for a hole in their register map.
    std::vector<Point> unmapped;

    std::optional<int> exceptionFor(int unit, int function) const {
        auto found = exceptions.find({unit, function});
        return found == exceptions.end() ? std::nullopt : std::optional<int>(found->second);
    }
    bool isSilent(int unit) const { return silentUnits.contains(unit); }
    bool touchesUnmapped(int unit, int function, int start, int count) const {
        const std::optional<Table> table = tableOfFunction(function);
        if (!table || count < 1)
            return false;
        for (const Point& hole : unmapped) {
            if ((hole.unit && *hole.unit != unit) || hole.table != *table)
                continue;
            const long last = static_cast<long>(hole.first) + hole.count - 1;
            if (start <= last && start + count - 1 >= hole.first)
                return true;
        }
        return false;
    }
    int delayFor(int unit) const {
        auto found = unitDelayMs.find(unit);
        return found == unitDelayMs.end() ? delayMs : found->second;
    }
};

} // namespace modbus_sim
