// The data of every simulated unit: for each unit identifier its own coils, discrete inputs,
// holding and input registers, 65536 of each, as libmodbus mappings that modbus_reply serves.
#pragma once

#include "ValueSyntax.h"

#include <map>
#include <memory>
#include <modbus/modbus.h>
#include <vector>

namespace modbus_sim {

class DeviceImage {
public:
    // Throws std::bad_alloc when the mappings cannot be allocated.
    explicit DeviceImage(const std::vector<int>& units);

    bool serves(int unit) const { return units_.contains(unit); }
    std::vector<int> units() const;
    modbus_mapping_t* mapping(int unit) const; // nullptr for a unit not served

    // Writes the values into the named unit, or into every unit when the point has none.
    // Throws SyntaxError for a unit that is not served.
    void apply(const Assignment& assignment);

    std::uint16_t read(int unit, Table table, std::uint16_t address) const;
    void write(int unit, Table table, std::uint16_t address, std::uint16_t value);

private:
    struct MappingDeleter {
        void operator()(modbus_mapping_t* mapping) const { modbus_mapping_free(mapping); }
    };
    std::map<int, std::unique_ptr<modbus_mapping_t, MappingDeleter>> units_;
};

} // namespace modbus_sim
