// Copy, Cut and Paste of items through the editor's item clipboard. The clipboard holds
// snapshots of the items as they were copied, so later edits of the originals (or their
// deletion by Cut) do not change what is pasted.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vorn::editor {

struct EditorState;
struct TreeNode;

inline constexpr const char* kDefaultNameCopyMessage =
    "Please change Item name (do not use default name) before copying";
inline constexpr const char* kBranchCopyMessage = "Please use Drag&Drop to copy and paste branches";
inline constexpr const char* kNothingToPasteMessage = "No items to paste.";

struct CopyOutcome {
    size_t stored = 0;                  // items now on the clipboard from this copy
    std::optional<std::string> refusal; // the message to show, when something was refused
};

// Copy from the list: the selected rows' items in list order. A row named "New_Item..." or
// "Copied_Item..." stops the copy with its message; rows stored before it stay on the
// clipboard. When nothing was stored the clipboard keeps what it held. The copy counter
// becomes 0 in every case.
CopyOutcome copyListRows(EditorState& state, const std::vector<std::string>& rowKeys);
// Copy from the tree: an item becomes the whole clipboard unless it is named "New_Item...";
// a branch is refused (branches are copied by dragging); other nodes do nothing.
CopyOutcome copyTreeNode(EditorState& state, const TreeNode& node);

struct PasteOutcome {
    std::vector<TreeNode*> added;
    std::optional<std::string> refusal;
};

// Paste into `target`: only a branch takes items (anything else: nothing happens). Each copy
// is made with clsItem::SetByCopy and the copy counter; a key already held by any node or item
// gets "_" and the next counter appended until it is free. The counter then rises by one.
PasteOutcome pasteItems(EditorState& state, TreeNode& target);

} // namespace vorn::editor
