// One branch: a folder of items and branches inside a device.
#pragma once

#include "Keys.h"
#include "platform/XmlDom.h"

#include <string>

namespace vorn::editor {

class clsBranch {
public:
    std::string sName;
    std::string sKey;

    // Fills the branch from a branch element lying under the node keyed `parentKey`: the
    // element's name is the branch name, kept in its case.
    void build(const DomNode& element, const std::string& parentKey);
    std::string getParentKey() const { return parentKeyOf(sKey); }
};

} // namespace vorn::editor
