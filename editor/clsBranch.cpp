#include "clsBranch.h"

namespace vorn::editor {

void clsBranch::build(const DomNode& element, const std::string& parentKey) {
    sName = element.name();
    sKey = parentKey + "." + sName;
}

} // namespace vorn::editor
