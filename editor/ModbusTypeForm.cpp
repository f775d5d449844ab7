#include "ModbusTypeForm.h"

#include "EditorState.h"
#include "NameRules.h"
#include "NumericText.h"

namespace vorn::editor {
namespace {

bool isInputKind(const std::string& kind) {
    return kind.find("input") != std::string::npos;
}

bool isCode(const std::string& text) {
    return wholeValueIn(text, 0, 255).has_value();
}

uint8_t codeOf(const std::string& text) {
    return static_cast<uint8_t>(wholeValueIn(text, 0, 255).value_or(0));
}

} // namespace

const std::vector<std::string>& modbusTypeKinds() {
    static const std::vector<std::string> kinds{"input status", "coil", "input register",
                                                "holding register"};
    return kinds;
}

ModbusTypeFields fieldsForKind(const std::string& kind) {
    ModbusTypeFields fields;
    fields.kind = kind;
    if (kind == "input status") {
        fields.readCode = "2";
    } else if (kind == "coil") {
        fields = {kind, "1", "15", true, "5", true, true};
    } else if (kind == "input register") {
        fields.readCode = "4";
    } else if (kind == "holding register") {
        fields = {kind, "3", "16", true, "6", true, true};
    }
    return fields;
}

ModbusTypeFields fieldsOf(const clsModBusType& type) {
    ModbusTypeFields fields = fieldsForKind(type.getName());
    fields.readCode = std::to_string(type.getReadCode());
    if (isInputKind(type.getName()))
        return fields;
    fields.writeCode = std::to_string(type.getWriteCode());
    setSingleWrite(fields, type.getSingleWrCode() > 0);
    if (fields.single)
        fields.singleCode = std::to_string(type.getSingleWrCode());
    return fields;
}

void setSingleWrite(ModbusTypeFields& fields, bool ticked) {
    fields.single = ticked;
    if (!ticked)
        fields.singleCode.clear();
}

std::optional<std::string> modbusTypeFieldsProblem(const ModbusTypeFields& fields,
                                                   const EditorState& state, bool editing) {
    if (!editing && state.modbusTypes.contains(fields.kind))
        return std::string("ModBus type already existing");
    if (!isCode(fields.readCode))
        return std::string("Check Read Function code");
    if (!isInputKind(fields.kind) && !isCode(fields.writeCode))
        return std::string("Check Write Function code");
    if (fields.single && !isCode(fields.singleCode))
        return std::string("Check Single Write Function code");
    // With no kind picked the codes cannot all be right; say which choice is missing.
    if (fields.kind.empty())
        return std::string("Choose a ModBus data type");
    // A type's key is its name; a unit may already carry it.
    if (!editing)
        return keyTakenProblem(state.tree, fields.kind, nullptr);
    return std::nullopt;
}

std::shared_ptr<clsModBusType> modbusTypeFromFields(const ModbusTypeFields& fields) {
    auto type = std::make_shared<clsModBusType>();
    type->setName(fields.kind);
    type->setReadCode(codeOf(fields.readCode));
    type->setWriteCode(isInputKind(fields.kind) ? 0 : codeOf(fields.writeCode));
    type->setSingleWrCode(fields.single ? codeOf(fields.singleCode) : 0);
    return type;
}

} // namespace vorn::editor
