#include "Keys.h"

#include "EditorState.h"

namespace vorn::editor {

std::string parentKeyOf(const std::string& key) {
    size_t dot = key.rfind('.');
    return dot == std::string::npos ? std::string() : key.substr(0, dot);
}

std::string MakeKey(const std::string& name, const TreeNode& node, bool useParent) {
    const TreeNode& base = useParent && node.parent ? *node.parent : node;
    return base.key + "." + name;
}

namespace {

template <class T>
void moveEntry(KeyedCollection<T>& collection, const std::string& oldKey,
               const std::string& newKey) {
    auto object = collection.find(oldKey);
    if (!object)
        return;
    if (collection.contains(newKey))
        throw EditorError(kErrDuplicateCollectionKey,
                          "This key is already associated with an element of this collection: " +
                              newKey);
    object->sKey = newKey;
    collection.remove(oldKey);
    collection.add(newKey, object);
}

} // namespace

void ReKeySubtree(EditorState& state, TreeNode& node) {
    // Depth first in tree order, with an explicit stack: branches may nest deeply.
    std::vector<TreeNode*> pending(node.children.rbegin(), node.children.rend());
    while (!pending.empty()) {
        TreeNode* child = pending.back();
        pending.pop_back();
        const std::string oldKey = child->key;
        const std::string newKey = child->parent->key + "." + child->text;
        if (newKey == oldKey)
            continue; // a unit edited without a rename: nothing below it moves
        if (state.tree.contains(newKey))
            throw EditorError(kErrDuplicateNodeKey, "Key is not unique in collection: " + newKey);
        if (child->tag == kTagItem) {
            moveEntry(state.items, oldKey, newKey);
        } else if (child->tag == kTagBranch) {
            moveEntry(state.branches, oldKey, newKey);
            pending.insert(pending.end(), child->children.rbegin(), child->children.rend());
        }
        state.tree.setKey(*child, newKey);
    }
}

} // namespace vorn::editor
