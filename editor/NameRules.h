// The name rules shared by the editing commands and the dialogs. Refusals are shown in
// OK-only boxes.
#pragma once

#include <optional>
#include <string>

namespace vorn::editor {

class NodeTree;
struct TreeNode;

// True when `name` may be used for a node of kind `tag` among the children of the selected
// node (or, with `useParent`, among the selected node's siblings, the selected node being the
// one renamed). Same tag and same text, case-sensitive, is refused.
bool CheckDuplNames(const std::string& tag, const std::string& name, const NodeTree& tree,
                    bool useParent);
// True when `name` holds none of: space . , : ; \ / |
bool CheckNameChars(const std::string& name);
// The message CheckNameChars shows for `name`; none when the name passes. Unit names may
// hold blanks (the proposed "New Plc 0" does, and the files carry them).
std::optional<std::string> nameCharsProblem(const std::string& name, bool blankAllowed = false);
// A branch is written as an element named after it: it must be an XML name, and not "tag" in
// any case, which every reader takes for an item.
bool isWritableBranchName(const std::string& name);
// "Name already existing. Please use a different name" when `key` belongs to a node other than
// `self` (a sibling of any kind, or any node keyed so); none when it is free.
std::optional<std::string> keyTakenProblem(const NodeTree& tree, const std::string& key,
                                           const TreeNode* self);
// The typed character when a numeric text box accepts it, else 0.
int NumericKeyFilter(int keyAscii);

} // namespace vorn::editor
