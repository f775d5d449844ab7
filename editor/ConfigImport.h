// Reading a configuration file into the editor's objects and tree.
#pragma once

#include "platform/XmlDom.h"

#include <string>

namespace vorn::editor {

struct EditorState;

// Branches deeper than this under one device are refused: keys grow with depth and no real
// plant nests folders anywhere near it.
inline constexpr int kMaxBranchDepth = 100;

// Reads the file at `path` into the state's (empty) collections and tree; when the tree has
// no root yet, one is made for `path`. False after a reported error; what was read before the
// error stays, every object with its node.
bool ImportXML(EditorState& state, const std::string& path);

// One device element: the device object and node, then everything inside its "tags".
// Throws EditorError.
void BrowsePlc(const DomNode& plcElement, EditorState& state);
// One element inside a device's "tags": an item, or a branch with everything inside it.
// Throws EditorError.
void BrowseBranch(const DomNode& element, EditorState& state, const std::string& deviceKey);

} // namespace vorn::editor
