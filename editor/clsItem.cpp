#include "clsItem.h"

#include "EditorError.h"
#include "ElementValues.h"
#include "FileText.h"
#include "ItemForm.h"
#include "NodeTree.h"
#include "TypeNames.h"
#include "fileformat/ValueSettings.h"

#include <cstdio>

namespace vorn::editor {
namespace {

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

std::string padded(long value, int width) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%0*ld", width, value);
    return buffer;
}

std::string kindAbbreviation(const std::string& modbusType) {
    if (modbusType == "input status")
        return "IS";
    if (modbusType == "coil")
        return "CO";
    if (modbusType == "holding register")
        return "HR";
    if (modbusType == "input register")
        return "IR";
    return {};
}

std::string valueLine(int level, const char* element, const std::string& value) {
    return indent(level) + "<" + element + ">" + value + "</" + element + ">" + kLineEnd;
}

// The optional value settings in file order, each with the member holding it.
struct ValueSetting {
    const char* element;
    std::string clsItem::*member;
};
constexpr ValueSetting kValueSettings[] = {
    {format::kByteOrderSetting, &clsItem::sByteOrder},
    {format::kScalingBounds[0].element, &clsItem::sRawLow},
    {format::kScalingBounds[1].element, &clsItem::sRawHigh},
    {format::kScalingBounds[2].element, &clsItem::sEuLow},
    {format::kScalingBounds[3].element, &clsItem::sEuHigh},
    {format::kUnitsElement, &clsItem::sUnits},
};

// The servers skip an item whose value settings would give a wrong value, so such a file is
// refused here rather than shown as if it would run.
void checkValueSettings(const clsItem& item, const std::string& named) {
    if (auto problem = valueSettingsProblem(item, format::Wording::file))
        throw EditorError(kErrInvalidValue, "Invalid property value: " + named + ": " + *problem);
}

} // namespace

void clsItem::SetByXml(const DomNode& element, const std::string& parentKey) {
    const std::string context = "tag under " + parentKey;
    sName = requiredChildText(element, "name", context);
    const std::string named = "tag " + parentKey + "." + sName;
    sComment = optionalChildText(element, "comment").value_or(""); // the servers need none
    sDataType = TypeToDisplay(requiredChildText(element, "datatype", named));
    if (auto elements = optionalChildText(element, "elements"))
        nElements = toWord(*elements, "elements of " + named);
    nAddress = toLong(requiredChildText(element, "address", named), "address of " + named);
    auto bit = optionalChildText(element, "databit");
    nBitNumber = bit ? toInteger(*bit, "databit of " + named) : 0;
    sAccessRight = requiredChildText(element, "accessrights", named);
    for (const ValueSetting& setting : kValueSettings)
        this->*setting.member = optionalChildText(element, setting.element).value_or("");
    checkValueSettings(*this, named);
    sKey = parentKey + "." + sName;
}

void clsItem::SetByCopy(const clsItem& source, const std::string& parentKey, int32_t copyCounter) {
    *this = source;
    if (source.getParentKey() == parentKey)
        sName = source.sName + "_" + std::to_string(copyCounter);
    sKey = parentKey + "." + sName;
}

void clsItem::AddToListView(ListView& list, bool withIndex) const {
    ListRow& row = list.addRow(sKey, sName);
    row.setSubItem(1, sComment);

    std::string modbusType;
    std::string dataType;
    if (!contains(sDataType, "coil") && !contains(sDataType, "input status")) {
        size_t colon = sDataType.find(':');
        modbusType = sDataType.substr(0, colon);
        dataType = colon == std::string::npos ? std::string() : sDataType.substr(colon + 1);
    } else {
        modbusType = contains(sDataType, "input status") ? "input status" : "coil";
        dataType = contains(sDataType, "array") ? "boolean array" : "boolean";
    }

    std::string address = std::to_string(nAddress);
    if (contains(dataType, "boolean"))
        address += "/BIT" + padded(nBitNumber, 2);
    if (dataType == "string" || contains(dataType, "array"))
        address += "/LEN" + std::to_string(nElements);
    row.setSubItem(2, address);
    row.setSubItem(3, dataType);
    row.setSubItem(4, modbusType);
    row.setSubItem(5, sAccessRight);
    if (withIndex)
        row.setSubItem(6,
                       padded(nAddress, 5) + padded(nBitNumber, 2) + kindAbbreviation(modbusType));

    size_t arrayAt = dataType.find(" array");
    row.largeIcon = arrayAt == std::string::npos ? dataType : dataType.substr(0, arrayAt);
    row.smallIcon = kTagItem;
}

std::string clsItem::GetXmlTag(int level) const {
    const std::string t = TypeToFile(sDataType);
    std::string block = indent(level) + "<tag>" + kLineEnd;
    block += valueLine(level + 1, "name", fileText(sName));
    block += valueLine(level + 1, "comment", fileText(sComment));
    block += valueLine(level + 1, "address", std::to_string(nAddress));
    block += valueLine(level + 1, "datatype", fileText(t));
    block += valueLine(level + 1, "accessrights", fileText(sAccessRight));
    if (contains(t, "VT_BOOL"))
        block += valueLine(level + 1, "databit", std::to_string(nBitNumber));
    if (contains(t, "ARRAY") || contains(t, "VT_BSTR"))
        block += valueLine(level + 1, "elements", std::to_string(nElements));
    // Written only when set, so that files made before these settings re-save unchanged.
    for (const ValueSetting& setting : kValueSettings)
        if (!(this->*setting.member).empty())
            block += valueLine(level + 1, setting.element, fileText(this->*setting.member));
    block += indent(level) + "</tag>" + kLineEnd;
    return block;
}

} // namespace vorn::editor
