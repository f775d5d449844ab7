// Finding tree nodes by the beginning of their text, as the find dialog does.
#pragma once

#include <string>

namespace vorn::editor {

class NodeTree;
struct TreeNode;

// Walks the tree's nodes in the order they were added (nodes added after opening a file come
// after the file's, wherever the tree shows them) and counts the nodes whose text begins with
// `text`, compared without regard to case. Returns the first match whose count exceeds `skip`, or
// the last match when there are fewer; null when `text` is empty or nothing matches.
TreeNode* findNode(const NodeTree& tree, const std::string& text, int skip);

} // namespace vorn::editor
