#include "ModbusTypeTable.h"

#include "ModbusProtocol.h"
#include "RegisterKind.h"

namespace vorn::modbus {

void ModbusTypeTable::setCapacity(size_t rows) {
    rows_.clear();
    rows_.reserve(rows);
}

void ModbusTypeTable::addRow(uint8_t kind, uint8_t readCode, uint8_t writeCode,
                             uint8_t singleWriteCode) {
    rows_.push_back(Row{kind, FunctionCodes{readCode, writeCode, singleWriteCode}});
}

FunctionCodes ModbusTypeTable::lookup(uint8_t kind) const {
    for (auto row = rows_.rbegin(); row != rows_.rend(); ++row)
        if (row->kind == kind)
            return row->codes;
    return standardCodes(kind);
}

FunctionCodes ModbusTypeTable::standardCodes(uint8_t kind) {
    switch (kind) {
    case RegisterKind::kCoil:
        return FunctionCodes{FunctionCode::kReadCoils, FunctionCode::kWriteMultipleCoils,
                             kNoSingleWrite};
    case RegisterKind::kInputStatus:
        return FunctionCodes{FunctionCode::kReadDiscreteInputs, kNoWrite, kNoSingleWrite};
    case RegisterKind::kInputRegister:
        return FunctionCodes{FunctionCode::kReadInputRegisters, kNoWrite, kNoSingleWrite};
    default:
        return FunctionCodes{FunctionCode::kReadHoldingRegisters,
                             FunctionCode::kWriteMultipleRegisters, kNoSingleWrite};
    }
}

} // namespace vorn::modbus
