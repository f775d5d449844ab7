#include "ItemForm.h"

#include "AddressAdvance.h"
#include "NameRules.h"
#include "NumericText.h"

#include <cstdint>
#include <limits>

namespace vorn::editor {
namespace {

constexpr long long kLastAddress = 65535;

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

bool isBitKind(const std::string& modbusType) {
    return contains(modbusType, "coil") || contains(modbusType, "input status");
}

std::string emptyMessage(const char* title) {
    return std::string(title) + " field is empty.";
}

std::string notValidMessage(const char* title) {
    return std::string(title) + " field is not valid.";
}

std::optional<std::string> given(const std::string& text) {
    if (text.find_first_not_of(" \t") == std::string::npos)
        return std::nullopt;
    return text;
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

format::ScalingTexts scalingTexts(const std::string& rawLow, const std::string& rawHigh,
                                  const std::string& euLow, const std::string& euHigh) {
    return {given(rawLow), given(rawHigh), given(euLow), given(euHigh)};
}

// Messages of the dialog end with a full stop, as all of Quillmar's do.
std::string sentence(std::string text) {
    if (!text.empty() && text.back() != '.')
        text += '.';
    return text;
}

} // namespace

const std::vector<std::string>& bitChoices() {
    static const std::vector<std::string> bits = [] {
        std::vector<std::string> all;
        for (int bit = 0; bit < 16; ++bit)
            all.push_back(std::to_string(bit));
        return all;
    }();
    return bits;
}

const std::vector<std::string>& dataTypesFor(const std::string& modbusType) {
    static const std::vector<std::string> registerTypes{"boolean",
                                                        "unsigned 16 bit",
                                                        "unsigned 32 bit",
                                                        "signed 16 bit",
                                                        "signed 32 bit",
                                                        "32 bit float",
                                                        "unsigned 64 bit",
                                                        "signed 64 bit",
                                                        "64 bit float",
                                                        "boolean array",
                                                        "unsigned 8 bit array",
                                                        "unsigned 16 bit array",
                                                        "unsigned 32 bit array",
                                                        "signed 8 bit array",
                                                        "signed 16 bit array",
                                                        "signed 32 bit array",
                                                        "32 bit float array",
                                                        "unsigned 64 bit array",
                                                        "signed 64 bit array",
                                                        "64 bit float array",
                                                        "string"};
    static const std::vector<std::string> bitTypes{"boolean", "boolean array"};
    return modbusType == "holding register" || modbusType == "input register" ? registerTypes
                                                                              : bitTypes;
}

const std::vector<std::string>& accessRightsFor(const std::string& modbusType) {
    static const std::vector<std::string> readOnly{"READ"};
    static const std::vector<std::string> readWrite{"READ", "WRITE", "READWRITE"};
    return modbusType == "input status" || modbusType == "input register" ? readOnly : readWrite;
}

std::string newItemName(int32_t itemCounter) {
    // Item names hold no blanks, so the proposal follows the rule it is checked by.
    return nextItemName(itemCounter);
}

std::string nextItemName(int32_t itemCounter) {
    return "New_Item_" + std::to_string(itemCounter);
}

void pickModbusType(ItemFields& fields, const std::string& modbusType) {
    fields.modbusType = modbusType;
    fields.dataTypeChoices = dataTypesFor(modbusType);
    fields.accessRightChoices = accessRightsFor(modbusType);
    fields.dataType.clear();
    fields.accessRight.clear();
    applyDataTypeRule(fields);
}

void typeModbusType(ItemFields& fields, const std::string& text) {
    fields.modbusType = text;
    fields.dataTypeChoices.clear();
    fields.accessRightChoices.clear();
    fields.dataType.clear();
    fields.accessRight.clear();
    applyDataTypeRule(fields);
}

void pickDataType(ItemFields& fields, const std::string& dataType) {
    fields.dataType = dataType;
    applyDataTypeRule(fields);
}

void applyDataTypeRule(ItemFields& fields) {
    fields.bitEnabled = contains(fields.dataType, "boolean") && !isBitKind(fields.modbusType);
    if (!fields.bitEnabled)
        fields.bit = "0";
    fields.elementsEnabled = contains(fields.dataType, "array") || fields.dataType == "string";
    if (!fields.elementsEnabled)
        fields.elements = "0";
    fields.byteOrderEnabled = byteOrderApplies(fields.modbusType, fields.dataType);
    if (!fields.byteOrderEnabled)
        fields.byteOrder = kDeviceDefaultChoice;
    fields.scalingEnabled = scalingApplies(fields.modbusType, fields.dataType);
    if (!fields.scalingEnabled) {
        for (std::string* text :
             {&fields.rawLow, &fields.rawHigh, &fields.euLow, &fields.euHigh, &fields.units})
            text->clear();
    }
}

bool byteOrderApplies(const std::string& modbusType, const std::string& dataType) {
    return !dataType.empty() && !isBitKind(modbusType) && !contains(dataType, "boolean");
}

// Every register data type but bits and strings names its width in bits ("32 bit float").
bool scalingApplies(const std::string& modbusType, const std::string& dataType) {
    return byteOrderApplies(modbusType, dataType) && contains(dataType, " bit");
}

std::optional<std::string> valueSettingsProblem(const clsItem& item, format::Wording wording) {
    const SplitDataType split = splitDataType(item.sDataType);
    if (!item.sByteOrder.empty()) {
        if (!format::byteOrderIndex(item.sByteOrder))
            return format::unknownByteOrderMessage(item.sByteOrder, wording);
        if (!byteOrderApplies(split.modbusType, split.dataType))
            return format::byteOrderOnBitsMessage(wording);
    }
    const format::ScalingCheck check = format::checkScaling(
        scalingTexts(item.sRawLow, item.sRawHigh, item.sEuLow, item.sEuHigh), wording);
    if (!check.problem.empty())
        return check.problem;
    if (check.scaled && !scalingApplies(split.modbusType, split.dataType))
        return format::scalingOnBitsOrTextMessage(wording);
    return std::nullopt;
}

SplitDataType splitDataType(const std::string& stored) {
    if (isBitKind(stored)) {
        return {contains(stored, "input status") ? "input status" : "coil",
                contains(stored, "array") ? "boolean array" : "boolean"};
    }
    const size_t colon = stored.find(':');
    if (colon == std::string::npos)
        return {stored, ""};
    return {stored.substr(0, colon), stored.substr(colon + 1)};
}

ItemFields newItemFields(int32_t itemCounter) {
    ItemFields fields;
    fields.name = newItemName(itemCounter);
    applyDataTypeRule(fields);
    return fields;
}

ItemFields fieldsOf(const clsItem& item) {
    ItemFields fields;
    fields.name = item.sName;
    const SplitDataType split = splitDataType(item.sDataType);
    pickModbusType(fields, split.modbusType);
    fields.dataType = split.dataType;
    fields.comment = item.sComment;
    fields.address = std::to_string(item.nAddress);
    applyDataTypeRule(fields);
    if (fields.bitEnabled)
        fields.bit = std::to_string(item.nBitNumber);
    if (fields.elementsEnabled)
        fields.elements = std::to_string(item.nElements);
    fields.accessRight = item.sAccessRight;
    if (fields.byteOrderEnabled)
        fields.byteOrder = choiceOfByteOrder(item.sByteOrder);
    if (fields.scalingEnabled) {
        fields.rawLow = item.sRawLow;
        fields.rawHigh = item.sRawHigh;
        fields.euLow = item.sEuLow;
        fields.euHigh = item.sEuHigh;
        fields.units = item.sUnits;
    }
    return fields;
}

std::optional<std::string> CheckFields(const ItemFields& fields) {
    if (fields.name.empty())
        return std::string("Item name field is empty.");
    if (fields.modbusType.empty())
        return std::string("ModBus Type field is empty.");
    if (fields.dataType.empty())
        return std::string("Data Type field is empty.");
    if (fields.address.empty())
        return emptyMessage("Memory address");
    // A text that is no number ("1 2", "-") is refused too: its leading digits would be stored
    // as an address the user did not mean.
    if (!wholeValueIn(fields.address, 0, kLastAddress))
        return std::string("Memory address") +
               " field is not valid. It must be between 0 and 65535.";
    if (fields.bitEnabled && fields.bit.empty())
        return emptyMessage("Bit number");
    if (fields.elementsEnabled) {
        if (fields.elements.empty())
            return emptyMessage("Number of elements");
        // The file holds the count in 16 bits.
        if (!wholeValueIn(fields.elements, 0, kLastAddress))
            return notValidMessage("Number of elements");
        // The servers serve nothing for an array or a string without elements.
        if (wholeValue(fields.elements) == 0)
            return std::string("Number of elements must be at least 1 for an array or a string.");
    }
    // The servers skip an item whose registers or bits run past the last address.
    const ItemPosition end =
        nextItemPosition(fields.modbusType, fields.dataType, leadingNumber(fields.address),
                         leadingNumber(fields.bit), leadingNumber(fields.elements));
    if (end.address > kLastAddress + 1)
        return std::string("The item runs past the last address (65535): move it to a lower "
                           "Memory address or give it fewer elements.");
    if (fields.accessRight.empty())
        return std::string("Access Rights field is empty.");
    if (fields.scalingEnabled) {
        const format::ScalingCheck scaling = format::checkScaling(
            scalingTexts(fields.rawLow, fields.rawHigh, fields.euLow, fields.euHigh),
            format::Wording::dialog);
        if (!scaling.problem.empty())
            return sentence(scaling.problem);
        if (!scaling.scaled && given(fields.units))
            return sentence(format::unitsWithoutScalingMessage(format::Wording::dialog));
    }
    return std::nullopt;
}

void SetByForm(clsItem& item, const ItemFields& fields, const std::string& key) {
    item.sName = fields.name;
    item.sComment = fields.comment;
    item.nAddress = static_cast<int32_t>(wholeValueIn(fields.address, 0, kLastAddress).value_or(0));
    item.sDataType = fields.modbusType + ":" + fields.dataType;
    item.nBitNumber = contains(fields.dataType, "boolean")
                          ? static_cast<int16_t>(wholeValueIn(fields.bit, 0, 15).value_or(0))
                          : 0;
    item.nElements =
        fields.elementsEnabled
            ? static_cast<int32_t>(wholeValueIn(fields.elements, 0, kLastAddress).value_or(0))
            : 0;
    item.sAccessRight = fields.accessRight;
    item.sByteOrder = fields.byteOrderEnabled ? byteOrderOfChoice(fields.byteOrder) : "";
    const bool scaled = fields.scalingEnabled;
    item.sRawLow = scaled ? trimmed(fields.rawLow) : "";
    item.sRawHigh = scaled ? trimmed(fields.rawHigh) : "";
    item.sEuLow = scaled ? trimmed(fields.euLow) : "";
    item.sEuHigh = scaled ? trimmed(fields.euHigh) : "";
    item.sUnits = scaled ? trimmed(fields.units) : "";
    item.sKey = key;
}

void prepareNextItem(ItemFields& fields, int32_t itemCounter) {
    fields.name = nextItemName(itemCounter);
    fields.comment.clear();
    const ItemPosition next =
        nextItemPosition(fields.modbusType, fields.dataType, leadingNumber(fields.address),
                         leadingNumber(fields.bit), leadingNumber(fields.elements));
    fields.address = std::to_string(next.address);
    if (fields.bitEnabled)
        fields.bit = std::to_string(next.bit);
}

std::optional<long long> groupCount(const std::string& text) {
    if (text.size() > static_cast<size_t>(kGroupCountMaxLength))
        return std::nullopt;
    return wholeValue(text);
}

int itemNameKeyFilter(int keyAscii) {
    const bool accepted =
        (keyAscii >= 'A' && keyAscii <= 'Z') || (keyAscii >= 'a' && keyAscii <= 'z') ||
        (keyAscii >= '0' && keyAscii <= '9') || keyAscii == '-' || keyAscii == '_' || keyAscii == 8;
    return accepted ? keyAscii : 0;
}

std::string filteredText(const std::string& text, int (*filter)(int)) {
    std::string kept;
    for (char c : text) {
        const int code = static_cast<unsigned char>(c);
        if (code >= 32 && code < 127 && filter(code) != 0)
            kept += c;
    }
    return kept;
}

} // namespace vorn::editor
