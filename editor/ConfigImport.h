// Reading a configuration file into the editor's objects and tree.
#pragma once

#include "fileformat/ConfigFormat.h"
#include "platform/XmlDom.h"

#include <string>

namespace vorn::editor {

struct EditorState;

// Branch levels under one device, as deep as the servers load them; a file's deeper branches
// are left out with an open warning, as the servers leave them out.
inline constexpr int kMaxBranchDepth = format::kMaxBranchDepth;

// Reads the file at `path` into the state's (empty) collections and tree; when the tree has
// no root yet, one is made for `path`. What the servers leave out is left out too, each with a
// line in state.openWarnings, shown in one message once the file is read. False after a
// reported error; what was read before the error stays, every object with its node.
bool ImportXML(EditorState& state, const std::string& path);

// One device element: the device object and node, then everything inside its "tags".
// Throws EditorError.
void BrowsePlc(const DomNode& plcElement, EditorState& state);
// One element inside a device's "tags": an item, or a branch with everything inside it.
// Throws EditorError.
void BrowseBranch(const DomNode& element, EditorState& state, const std::string& deviceKey);

} // namespace vorn::editor
