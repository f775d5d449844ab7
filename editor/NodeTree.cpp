#include "NodeTree.h"

#include "EditorError.h"

#include <algorithm>

namespace vorn::editor {
namespace {

[[noreturn]] void throwKeyNotUnique(const std::string& key) {
    throw EditorError(kErrDuplicateNodeKey, key.empty()
                                                ? std::string("Invalid key: empty")
                                                : "Key is not unique in collection: " + key);
}

} // namespace

TreeNode& NodeTree::resetWithRoot(const std::string& text) {
    clear();
    auto node = std::make_unique<TreeNode>();
    node->text = text;
    node->tag = kTagConfig;
    node->image = kTagConfig;
    root_ = node.get();
    owned_.emplace(root_, std::move(node));
    return *root_;
}

void NodeTree::clear() {
    byKey_.clear();
    owned_.clear();
    root_ = nullptr;
    selected_ = nullptr;
    added_ = 0;
}

TreeNode& NodeTree::add(TreeNode& parent, const std::string& key, const std::string& text,
                        const std::string& tag, const std::string& image) {
    if (key.empty() || contains(key))
        throwKeyNotUnique(key);
    auto node = std::make_unique<TreeNode>();
    node->key = key;
    node->text = text;
    node->tag = tag;
    node->image = image;
    node->parent = &parent;
    node->added = ++added_;
    TreeNode* raw = node.get();
    owned_.emplace(raw, std::move(node));
    byKey_.emplace(key, raw);
    parent.children.push_back(raw);
    return *raw;
}

TreeNode* NodeTree::find(const std::string& key) const {
    auto it = byKey_.find(key);
    return it == byKey_.end() ? nullptr : it->second;
}

void NodeTree::setKey(TreeNode& node, const std::string& newKey) {
    if (newKey == node.key)
        return;
    if (newKey.empty() || contains(newKey))
        throwKeyNotUnique(newKey);
    byKey_.erase(node.key);
    node.key = newKey;
    byKey_.emplace(newKey, &node);
}

void NodeTree::remove(TreeNode& node) {
    if (node.parent) {
        auto& siblings = node.parent->children;
        siblings.erase(std::find(siblings.begin(), siblings.end(), &node));
    }
    // Walk the subtree with an explicit list: trees may be deep.
    std::vector<TreeNode*> pending{&node};
    while (!pending.empty()) {
        TreeNode* current = pending.back();
        pending.pop_back();
        pending.insert(pending.end(), current->children.begin(), current->children.end());
        if (current == selected_)
            selected_ = nullptr;
        if (current == root_)
            root_ = nullptr;
        if (!current->key.empty())
            byKey_.erase(current->key);
        owned_.erase(current);
    }
}

void NodeTree::ensureVisible(TreeNode& node) {
    for (TreeNode* up = node.parent; up; up = up->parent)
        up->expanded = true;
}

} // namespace vorn::editor
