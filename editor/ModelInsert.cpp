#include "ModelInsert.h"

#include "EditorError.h"
#include "EditorState.h"

namespace vorn::editor {
namespace {

template <class T>
TreeNode& addWithNode(EditorState& state, KeyedCollection<T>& collection, TreeNode& parent,
                      std::shared_ptr<T> object, const std::string& key, const std::string& text,
                      const char* tag) {
    // The collection reports its own duplicates (457); a key free there but used by a node of
    // another kind (a branch and an item of one name) is refused before anything is added.
    if (!collection.contains(key) && state.tree.contains(key))
        throw EditorError(kErrDuplicateNodeKey, "Key is not unique in collection: " + key);
    collection.add(key, std::move(object));
    TreeNode& node = state.tree.add(parent, key, text, tag, tag);
    state.tree.ensureVisible(node);
    return node;
}

TreeNode& requireNode(TreeNode* node, const char* what) {
    if (!node)
        throw EditorError(kErrElementNotFound, std::string("Element not found: ") + what);
    return *node;
}

} // namespace

TreeNode& addModbusType(EditorState& state, std::shared_ptr<clsModBusType> type) {
    TreeNode& folder = requireNode(state.tree.find(kModBusFolderKey), kModBusFolderKey);
    const std::string name = type->getName();
    TreeNode& node =
        addWithNode(state, state.modbusTypes, folder, std::move(type), name, name, kTagDatatype);
    node.image = kTagItem;
    return node;
}

TreeNode& addDevice(EditorState& state, std::shared_ptr<clsPLC> device) {
    TreeNode& root = requireNode(state.tree.root(), "configuration root");
    const std::string key = device->sKey();
    const std::string name = device->getName();
    return addWithNode(state, state.devices, root, std::move(device), key, name, kTagPlc);
}

TreeNode& addBranch(EditorState& state, TreeNode& parent, std::shared_ptr<clsBranch> branch) {
    const std::string key = branch->sKey;
    const std::string name = branch->sName;
    return addWithNode(state, state.branches, parent, std::move(branch), key, name, kTagBranch);
}

TreeNode& addItem(EditorState& state, TreeNode& parent, std::shared_ptr<clsItem> item) {
    const std::string key = item->sKey;
    const std::string name = item->sName;
    return addWithNode(state, state.items, parent, std::move(item), key, name, kTagItem);
}

} // namespace vorn::editor
