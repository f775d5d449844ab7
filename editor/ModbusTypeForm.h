// The Modbus type dialog without its widgets: the four kinds, the standard function codes each
// proposes, which fields a kind allows, the checks on OK and the type they make.
#pragma once

#include "clsModBusType.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vorn::editor {

struct EditorState;

// The dialog's fields (cmbMBType, txtReadCode, txtWriteCode, chkSingle, txtSingleCode) and
// which of them can be changed.
struct ModbusTypeFields {
    std::string kind;
    std::string readCode;
    std::string writeCode;
    bool single = false;
    std::string singleCode;
    bool writeEnabled = false;
    bool singleEnabled = false; // the box and its code
};

// "input status", "coil", "input register", "holding register".
const std::vector<std::string>& modbusTypeKinds();
// A kind picked: its standard codes (2; 1, 15, 5; 4; 3, 16, 6); input kinds cannot write.
ModbusTypeFields fieldsForKind(const std::string& kind);
// An existing type shown over its kind's defaults.
ModbusTypeFields fieldsOf(const clsModBusType& type);
// Unticking the single-write box empties and disables its code.
void setSingleWrite(ModbusTypeFields& fields, bool ticked);

// The first check that fails, with its message; none when the fields make a type. A new type
// may not repeat a kind already configured; codes are whole numbers 0..255.
std::optional<std::string> modbusTypeFieldsProblem(const ModbusTypeFields& fields,
                                                   const EditorState& state, bool editing);
// SetByForm.
std::shared_ptr<clsModBusType> modbusTypeFromFields(const ModbusTypeFields& fields);

} // namespace vorn::editor
