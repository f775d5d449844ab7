// The name rules shared by the editing commands and the dialogs. Refusals are shown in
// OK-only boxes.
#pragma once

#include <string>

namespace vorn::editor {

class NodeTree;

// True when `name` may be used for a node of kind `tag` among the children of the selected
// node (or, with `useParent`, among the selected node's siblings, the selected node being the
// one renamed). Same tag and same text, case-sensitive, is refused.
bool CheckDuplNames(const std::string& tag, const std::string& name, const NodeTree& tree,
                    bool useParent);
// True when `name` holds none of: space . , : ; \ / |
bool CheckNameChars(const std::string& name);
// The typed character when a numeric text box accepts it, else 0.
int NumericKeyFilter(int keyAscii);

} // namespace vorn::editor
