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
    int16_t nElements = 0;
    int16_t nBitNumber = 0;
    std::string sDataType; // "holding register:signed 16 bit"
    std::string sAccessRight;
    std::string sComment;
    int32_t nAddress = 0;
    std::string sName;
    std::string sKey;

    // Fills the item from a "tag" element lying under the node keyed `parentKey`. Throws
    // EditorError for a missing required value or a number that does not convert.
    void SetByXml(const DomNode& element, const std::string& parentKey);
    // Makes this item a copy of `source` placed under `parentKey`; beside its source the copy
    // is named with "_" and `copyCounter` appended.
    void SetByCopy(const clsItem& source, const std::string& parentKey, int32_t copyCounter);
    std::string getParentKey() const { return parentKeyOf(sKey); }
    void AddToListView(ListView& list, bool withIndex) const;
    // The "tag" block at `level` tabs, with line ends.
    std::string GetXmlTag(int level) const;
};

} // namespace vorn::editor
