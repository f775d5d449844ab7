#include "CommandGroups.h"

#include "NodeTree.h"

namespace vorn::editor {

CommandEnabling CommandEnabling::only(std::initializer_list<int> groups) {
    CommandEnabling enabling;
    for (int group : groups) {
        if (group >= 1 && group <= kCommandGroupCount)
            enabling.on_[group - 1] = true;
    }
    return enabling;
}

bool CommandEnabling::enabled(int group) const {
    return group >= 1 && group <= kCommandGroupCount && on_[group - 1];
}

bool CommandEnabling::objectsMenu() const {
    return enabled(kGroupAddModbusType) || enabled(kGroupAddBranch) || enabled(kGroupAddItem) ||
           enabled(kGroupAddUnit) || enabled(kGroupDelete);
}

// Delete Object and the two clipboard paste entries live in the Edit menu too, so they open it.
bool CommandEnabling::editMenu() const {
    return enabled(kGroupCopy) || enabled(kGroupCut) || enabled(kGroupPaste) ||
           enabled(kGroupDelete) || enabled(kGroupPasteNames) || enabled(kGroupPasteComments);
}

CommandEnabling noConfigurationEnabling() {
    return CommandEnabling::only({kGroupFile});
}

CommandEnabling newConfigurationEnabling() {
    return CommandEnabling::only({kGroupFile, kGroupSaveClose, kGroupAddUnit, kGroupFind});
}

namespace {

const CommandEnabling kModbusTypeSelected = CommandEnabling::only({1, 2, 10, 12});
const CommandEnabling kDeviceSelected = CommandEnabling::only({1, 2, 4, 5, 10, 11, 12});
const CommandEnabling kBranchSelected = CommandEnabling::only({1, 2, 4, 5, 9, 10, 11, 12});
const CommandEnabling kItemSelected = CommandEnabling::only({1, 2, 7, 8, 10, 11, 12, 13, 14});

} // namespace

CommandEnabling enablingForNode(const TreeNode& node) {
    if (node.tag == kTagConfig)
        return CommandEnabling::only({1, 2, 6, 9, 11, 12});
    if (node.tag == kTagModbus)
        return CommandEnabling::only({1, 2, 3, 11, 12});
    if (node.tag == kTagDatatype)
        return kModbusTypeSelected;
    if (node.tag == kTagPlc)
        return kDeviceSelected;
    if (node.tag == kTagBranch) {
        const bool firstChildIsItem =
            !node.children.empty() && node.children.front()->tag == kTagItem;
        return firstChildIsItem ? CommandEnabling::only({1, 2, 3, 4, 5, 9, 10, 11, 12, 13, 14})
                                : kBranchSelected;
    }
    if (node.tag == kTagItem)
        return kItemSelected;
    return noConfigurationEnabling();
}

std::optional<CommandEnabling> enablingForListRow(const TreeNode& node) {
    if (node.tag == kTagDatatype)
        return kModbusTypeSelected;
    if (node.tag == kTagPlc)
        return kDeviceSelected;
    if (node.tag == kTagBranch)
        return kBranchSelected;
    if (node.tag == kTagItem)
        return kItemSelected;
    return std::nullopt;
}

} // namespace vorn::editor
