#include "FindNode.h"

#include "NodeTree.h"

#include <cctype>
#include <vector>

namespace vorn::editor {
namespace {

bool startsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

} // namespace

TreeNode* findNode(const NodeTree& tree, const std::string& text, int skip) {
    if (text.empty() || !tree.root())
        return nullptr;
    TreeNode* found = nullptr;
    int matches = 0;
    // An explicit stack: trees may be deep. Children are pushed last first.
    std::vector<TreeNode*> pending{tree.root()};
    while (!pending.empty()) {
        TreeNode* node = pending.back();
        pending.pop_back();
        if (startsWithNoCase(node->text, text)) {
            found = node;
            if (++matches > skip)
                return found;
        }
        pending.insert(pending.end(), node->children.rbegin(), node->children.rend());
    }
    return found;
}

} // namespace vorn::editor
