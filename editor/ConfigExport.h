// Writing the open configuration as the XML file the servers read.
#pragma once

#include <string>

namespace vorn::editor {

struct EditorState;
struct TreeNode;

// Writes the configuration to `path`. The file is written beside the target and renamed over
// it only when complete, so a failed save leaves the previous file as it was. False after a
// reported error.
bool CreateXML(const EditorState& state, const std::string& path);

// The whole file's bytes. Throws EditorError.
std::string configurationText(const EditorState& state);

// Appends the children of `node` at `level` tabs: items as their blocks, branches as start
// tag, content one level deeper, end tag. Throws EditorError.
void PrintBranch(std::string& out, const EditorState& state, const TreeNode& node, int level);

} // namespace vorn::editor
