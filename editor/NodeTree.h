// The configuration tree the main window shows: nodes with a key, a text, a kind tag and an
// image, ordered under their parent and found by key. Only the root has no key.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace vorn::editor {

// Node kind tags.
inline constexpr const char* kTagConfig = "config";
inline constexpr const char* kTagModbus = "modbus";
inline constexpr const char* kTagDatatype = "datatype";
inline constexpr const char* kTagPlc = "plc";
inline constexpr const char* kTagBranch = "branch";
inline constexpr const char* kTagItem = "item";

// Key and text of the Modbus types folder.
inline constexpr const char* kModBusFolderKey = "ModBus";

struct TreeNode {
    std::string key;
    std::string text;
    std::string tag;
    std::string image;
    TreeNode* parent = nullptr;
    std::vector<TreeNode*> children;
    bool expanded = false;
    uint64_t added = 0; // the node's place in the order nodes were added to the tree
};

class NodeTree {
public:
    NodeTree() = default;
    NodeTree(const NodeTree&) = delete;
    NodeTree& operator=(const NodeTree&) = delete;

    // Empties the tree and adds the root (no key, tag and image "config").
    TreeNode& resetWithRoot(const std::string& text);
    void clear();
    TreeNode* root() const { return root_; }

    // Adds a last child of `parent`. Throws EditorError (35602) when the key is already used or
    // empty; the tree is then unchanged.
    TreeNode& add(TreeNode& parent, const std::string& key, const std::string& text,
                  const std::string& tag, const std::string& image);
    TreeNode* find(const std::string& key) const;
    bool contains(const std::string& key) const { return byKey_.count(key) != 0; }
    // Gives the node a new key; throws EditorError (35602) when the key is taken.
    void setKey(TreeNode& node, const std::string& newKey);
    // Removes the node and everything below it.
    void remove(TreeNode& node);
    // Expands every ancestor so the node can be seen.
    void ensureVisible(TreeNode& node);

    TreeNode* selected() const { return selected_; }
    void select(TreeNode* node) { selected_ = node; }
    size_t size() const { return owned_.size(); }

private:
    std::unordered_map<const TreeNode*, std::unique_ptr<TreeNode>> owned_;
    std::unordered_map<std::string, TreeNode*> byKey_;
    TreeNode* root_ = nullptr;
    TreeNode* selected_ = nullptr;
    uint64_t added_ = 0;
};

} // namespace vorn::editor
