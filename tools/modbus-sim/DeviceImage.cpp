#include "DeviceImage.h"

#include <new>

namespace modbus_sim {
namespace {

constexpr int kTableSize = 65536;

} // namespace

DeviceImage::DeviceImage(const std::vector<int>& units) {
    for (int unit : units) {
        if (units_.contains(unit))
            continue;
        modbus_mapping_t* mapping =
            modbus_mapping_new(kTableSize, kTableSize, kTableSize, kTableSize);
        if (mapping == nullptr)
            throw std::bad_alloc();
        units_.emplace(unit, mapping);
    }
}

std::vector<int> DeviceImage::units() const {
    std::vector<int> result;
    for (const auto& entry : units_)
        result.push_back(entry.first);
    return result;
}

modbus_mapping_t* DeviceImage::mapping(int unit) const {
    auto found = units_.find(unit);
    return found == units_.end() ? nullptr : found->second.get();
}

void DeviceImage::apply(const Assignment& assignment) {
    const Point& point = assignment.point;
    if (point.unit && !serves(*point.unit))
        throw SyntaxError("unit " + std::to_string(*point.unit) + " is not served (add --unit " +
                          std::to_string(*point.unit) + ")");
    for (const auto& [unit, mapping] : units_) {
        if (point.unit && *point.unit != unit)
            continue;
        for (std::size_t i = 0; i < assignment.values.size(); ++i)
            write(unit, point.table, static_cast<std::uint16_t>(point.first + i),
                  assignment.values[i]);
    }
}

std::uint16_t DeviceImage::read(int unit, Table table, std::uint16_t address) const {
    modbus_mapping_t* m = mapping(unit);
    if (m == nullptr)
        return 0;
    switch (table) {
    case Table::Coil:
        return m->tab_bits[address];
    case Table::DiscreteInput:
        return m->tab_input_bits[address];
    case Table::HoldingRegister:
        return m->tab_registers[address];
    case Table::InputRegister:
        return m->tab_input_registers[address];
    }
    return 0;
}

void DeviceImage::write(int unit, Table table, std::uint16_t address, std::uint16_t value) {
    modbus_mapping_t* m = mapping(unit);
    if (m == nullptr)
        return;
    switch (table) {
    case Table::Coil:
        m->tab_bits[address] = value != 0;
        break;
    case Table::DiscreteInput:
        m->tab_input_bits[address] = value != 0;
        break;
    case Table::HoldingRegister:
        m->tab_registers[address] = value;
        break;
    case Table::InputRegister:
        m->tab_input_registers[address] = value;
        break;
    }
}

} // namespace modbus_sim
