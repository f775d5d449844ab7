#include "FindNode.h"

#include "NodeTree.h"

#include <algorithm>
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
    // The matches, gathered with an explicit stack (trees may be deep), then in added order.
    std::vector<TreeNode*> matches;
    std::vector<TreeNode*> pending{tree.root()};
    while (!pending.empty()) {
        TreeNode* node = pending.back();
        pending.pop_back();
        if (startsWithNoCase(node->text, text))
            matches.push_back(node);
        pending.insert(pending.end(), node->children.begin(), node->children.end());
    }
    if (matches.empty())
        return nullptr;
    std::sort(matches.begin(), matches.end(),
              [](const TreeNode* a, const TreeNode* b) { return a->added < b->added; });
    const size_t at = skip < 0 ? 0 : static_cast<size_t>(skip);
    return matches[std::min(at, matches.size() - 1)];
}

} // namespace vorn::editor
