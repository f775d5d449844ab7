// The key scheme: a device's key is its name; a branch's or item's key is its parent's key,
// "." and its own name, so an item's key is its item ID in the servers' address space.
#pragma once

#include <string>

namespace vorn::editor {

class NodeTree;
struct EditorState;
struct TreeNode;

// The key without its last level, or empty when it has no ".".
std::string parentKeyOf(const std::string& key);

// Key of `node` (of its parent when `useParent`), "." and `name`: the key an object gets when
// it is added below the node, or when the node itself is renamed to `name`.
std::string MakeKey(const std::string& name, const TreeNode& node, bool useParent);

// After `node`'s key changed: gives every branch and item below it the key made of its new
// parent key and its text, in the tree and in the collections.
void ReKeySubtree(EditorState& state, TreeNode& node);

} // namespace vorn::editor
