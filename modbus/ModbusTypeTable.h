// Function codes per register kind, one row per configured Modbus type. A later row for a kind
// overrides an earlier one; a kind without a row uses its table's standard codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vorn::modbus {

struct FunctionCodes {
    uint8_t read = 0;
    uint8_t write = 0;
    uint8_t singleWrite = 0; // 0: the kind has no single write; every write uses `write`

    bool operator==(const FunctionCodes&) const = default;
};

class ModbusTypeTable {
public:
    static constexpr uint8_t kNoSingleWrite = 0;
    static constexpr uint8_t kNoWrite = 0;

    // Drops every row and makes room for `rows` rows; addRow may still add more.
    void setCapacity(size_t rows);
    void addRow(uint8_t kind, uint8_t readCode, uint8_t writeCode, uint8_t singleWriteCode);
    size_t rowCount() const { return rows_.size(); }

    // Codes of the last row for `kind`, or when no row names it the standard codes of its
    // table: coils 1/15, discrete inputs 2, holding registers 3/16, input registers 4.
    FunctionCodes lookup(uint8_t kind) const;
    uint8_t readCode(uint8_t kind) const { return lookup(kind).read; }
    uint8_t writeCode(uint8_t kind) const { return lookup(kind).write; }
    uint8_t singleWriteCode(uint8_t kind) const { return lookup(kind).singleWrite; }

private:
    static FunctionCodes standardCodes(uint8_t kind);

    struct Row {
        uint8_t kind;
        FunctionCodes codes;
    };
    std::vector<Row> rows_;
};

} // namespace vorn::modbus
