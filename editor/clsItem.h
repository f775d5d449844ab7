// One item: a tag of the servers, with its Modbus address and data type.
#pragma once

#include "Keys.h"
#include "ListView.h"
#include "platform/XmlDom.h"

#include <cstdint>
#include <string>

namespace vorn::editor {

class clsItem {
public:
    int32_t nElements = 0; // 0..65535, as the servers read it
    int16_t nBitNumber = 0;
    std::string sDataType; // "holding register:signed 16 bit"
    std::string sAccessRight;
    std::string sComment;
    int32_t nAddress = 0;
    std::string sName;
    std::string sKey;
    // How the item's registers become its value: its own byte order ("CDAB"; empty: the
    // unit's), and scaling bounds and unit as written (all four bounds or none).
    std::string sByteOrder;
    std::string sRawLow;
    std::string sRawHigh;
    std::string sEuLow;
    std::string sEuHigh;
    std::string sUnits;

    // Fills the item from a "tag" element lying under the node keyed `parentKey`. Throws
    // EditorError for a missing required value, a number that does not convert, or a byte
    // order or scaling the servers would refuse.
    void SetByXml(const DomNode& element, const std::string& parentKey);
    // Makes this item a copy of `source` (all its settings) placed under `parentKey`; beside
    // its source the copy is named with "_" and `copyCounter` appended.
    void SetByCopy(const clsItem& source, const std::string& parentKey, int32_t copyCounter);
    std::string getParentKey() const { return parentKeyOf(sKey); }
    void AddToListView(ListView& list, bool withIndex) const;
    // The "tag" block at `level` tabs, with line ends.
    std::string GetXmlTag(int level) const;
};

} // namespace vorn::editor
