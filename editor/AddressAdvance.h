// Where "Add and Increment" puts the next item: right after the registers or bits the item
// just added occupies, by its data type and the register kind of its Modbus type.
#pragma once

#include <string>

namespace vorn::editor {

struct ItemPosition {
    long long address = 0;
    int bit = 0;
};

// The address and bit following an item of `dataType` read through the Modbus type named
// `modbusType`, at `address` and `bit`, with `elements` elements (the numbers as the dialog's
// fields give them). Bits advance only inside registers; an unknown data type stays put.
ItemPosition nextItemPosition(const std::string& modbusType, const std::string& dataType,
                              double address, double bit, double elements);

} // namespace vorn::editor
