// Entering a new object in its collection together with its tree node: both or neither, so
// no object is ever left without its node. Used by the import and by the editing commands.
#pragma once

#include <memory>

namespace vorn::editor {

struct EditorState;
struct TreeNode;
class clsBranch;
class clsItem;
class clsModBusType;
class clsPLC;

// Each throws EditorError 457 or 35602 when the key is taken in the collection or the tree;
// nothing is changed then. The node is made visible.
TreeNode& addModbusType(EditorState& state, std::shared_ptr<clsModBusType> type);
TreeNode& addDevice(EditorState& state, std::shared_ptr<clsPLC> device);
TreeNode& addBranch(EditorState& state, TreeNode& parent, std::shared_ptr<clsBranch> branch);
TreeNode& addItem(EditorState& state, TreeNode& parent, std::shared_ptr<clsItem> item);

} // namespace vorn::editor
