// Dropping a dragged branch or item on another node of the tree: a move re-keys the same
// objects under the target, a copy (Ctrl held) makes new ones. Every refusal is an outcome
// the window turns into its message; nothing changes unless the outcome is moved or copied.
#pragma once

#include "platform/MessageBox.h"

#include <optional>
#include <string>

namespace vorn::editor {

struct EditorState;
struct TreeNode;

enum class DropOutcome {
    moved,
    copied,
    ontoParent,   // dropped where it already is: nothing happens
    notDraggable, // a unit, a Modbus type, the Modbus types folder or the root was dragged
    unableHere,   // onto an item, a Modbus type, the folder, the root, itself or below itself
    nameInUse,    // the target already holds a node of that name
    tooDeep,      // a branch would be nested deeper than the servers load
};

struct DropResult {
    DropOutcome outcome;
    TreeNode* added = nullptr; // the new node, after a move or copy
};

struct DropMessage {
    std::string text;
    MessageIcon icon;
};

// What the user is told about `outcome`; none for a drop that worked or did nothing.
std::optional<DropMessage> dropMessage(DropOutcome outcome);

// Every key the drop will use is checked before anything is changed.
DropResult dropNode(EditorState& state, TreeNode& source, TreeNode& target, bool copy);

// CopySubTree: below `newNode`, one node per child of `sourceNode` (recursively) with the key
// made from the new parent's key and the child's text; each item and branch is entered in its
// collection under the new key: the same object re-keyed for a move, a new one for a copy.
// The caller has checked that every new key is free.
void CopySubTree(EditorState& state, TreeNode& newNode, const TreeNode& sourceNode, bool copy);

} // namespace vorn::editor
