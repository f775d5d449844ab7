// The item dialog without its widgets: the texts of its fields, the data types and access
// rights each Modbus type offers, which fields apply to a data type, the checks run on OK in
// their order with their messages, the item the fields make, and the next item that "Add and
// Increment" prepares.
#pragma once

#include "ByteOrderChoices.h"
#include "clsItem.h"
#include "fileformat/ValueSettings.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vorn::editor {

// Field limits of the dialog.
inline constexpr int kItemNameMaxLength = 100;
inline constexpr int kItemCommentMaxLength = 70;
inline constexpr int kGroupCountMaxLength = 4;
inline constexpr int kItemUnitsMaxLength = 32;

// The dialog's fields as shown (txtItemName, txtComment, txtAddress, cmbModbusType,
// cmbDataType, cmbBit, txtElements, cmbAccessRight, cmbByteOrder, and the scaling group's
// txtRawLow, txtRawHigh, txtEuLow, txtEuHigh, txtUnits), the choices of the two lists that
// depend on the Modbus type, and which of the fields apply.
struct ItemFields {
    std::string name;
    std::string comment;
    std::string address;
    std::string modbusType;
    std::string dataType;
    std::string bit = "0";
    std::string elements = "0";
    std::string accessRight;
    std::string byteOrder = kDeviceDefaultChoice;
    std::string rawLow;
    std::string rawHigh;
    std::string euLow;
    std::string euHigh;
    std::string units;
    std::vector<std::string> dataTypeChoices;
    std::vector<std::string> accessRightChoices;
    bool bitEnabled = false;
    bool elementsEnabled = false;
    bool byteOrderEnabled = false;
    bool scalingEnabled = false; // the scaling group with its unit
};

// "0" to "15".
// Add Item in a configuration without a Modbus type: the item would have no type to choose.
inline constexpr const char* kNoModbusTypeMessage =
    "There is no Modbus type to read items through. Add one first with Objects, Add ModBus "
    "Type (holding register, input register, coil or input status).";

const std::vector<std::string>& bitChoices();
// By the Modbus type's name: the twenty-one data types inside registers, the two bit data types
// otherwise; only "READ" for the input kinds.
const std::vector<std::string>& dataTypesFor(const std::string& modbusType);
const std::vector<std::string>& accessRightsFor(const std::string& modbusType);

// "New_Item_N" when the dialog opens and for the items "Add and Increment" prepares.
std::string newItemName(int32_t itemCounter);
std::string nextItemName(int32_t itemCounter);

// A Modbus type picked from the list: its data types and access rights are offered, none of
// them chosen yet.
void pickModbusType(ItemFields& fields, const std::string& modbusType);
// A Modbus type typed instead of picked: nothing is offered, so the checks stop at the data
// type.
void typeModbusType(ItemFields& fields, const std::string& text);
void pickDataType(ItemFields& fields, const std::string& dataType);
// Which fields apply: the bit number for bits inside registers, the number of elements for
// arrays and strings, the byte order for values in registers other than bits, the scaling for
// numbers in registers. A field that does not apply shows "0" (bit, elements), "Device
// default" (byte order) or nothing (scaling).
void applyDataTypeRule(ItemFields& fields);
bool byteOrderApplies(const std::string& modbusType, const std::string& dataType);
bool scalingApplies(const std::string& modbusType, const std::string& dataType);

// What the servers would refuse in an item's byte order and scaling (an unknown order, an
// order on bits, bounds that make no scale, scaling of anything but a number in registers),
// worded for the file or the dialog; none when they serve it.
std::optional<std::string> valueSettingsProblem(const clsItem& item, format::Wording wording);

// A stored data type ("holding register:signed 16 bit", "coil:boolean array") split into the
// Modbus type and the data type the dialog shows.
struct SplitDataType {
    std::string modbusType;
    std::string dataType;
};
SplitDataType splitDataType(const std::string& stored);

// The fields of a new item, and those of an existing one for modifying.
ItemFields newItemFields(int32_t itemCounter);
ItemFields fieldsOf(const clsItem& item);

// CheckFields: the first check that fails, with its message; none when the fields make an
// item.
std::optional<std::string> CheckFields(const ItemFields& fields);

// Fills `item` from checked fields, keyed `key`.
void SetByForm(clsItem& item, const ItemFields& fields, const std::string& key);

// After an item was added: the next item's name, an empty comment, and the address (and bit)
// right after the added item. Modbus type, data type, elements and access right stay.
void prepareNextItem(ItemFields& fields, int32_t itemCounter);

// The number of items of "Add Group....": none when the text is not a number of at most four
// characters ("Number of items is not valid.").
std::optional<long long> groupCount(const std::string& text);

// Key filters of the text boxes: the typed character when the box accepts it, else 0.
// Names take letters, digits, "-", "_" and Backspace.
int itemNameKeyFilter(int keyAscii);
// What a filter lets through of a text inserted at once (pasted or dropped): every character
// is filtered as if typed, and control characters are never inserted.
std::string filteredText(const std::string& text, int (*filter)(int));

} // namespace vorn::editor
