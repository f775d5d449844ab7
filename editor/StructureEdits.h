// Adding, replacing, renaming and deleting units, branches and Modbus types. Each edit checks
// every key it will use before it changes anything, so an object never exists without its node
// or the other way round, and a renamed object keeps its place in its collection (and in the
// saved file). Each marks the configuration as changed.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace vorn::editor {

struct EditorState;
struct TreeNode;
class clsModBusType;
class clsPLC;

// The message for a branch name that cannot be used below `parent` (empty, a refused
// character, not writable as an XML element, or the key of another node); none when it can.
// `self` is the branch being renamed, null for a new one.
// Why a branch may go no deeper: the servers load 64 levels of branches under a unit.
extern const std::string kBranchDepthMessage;
// The problem of adding `levels` levels of branches below `parent`; none when they fit.
std::optional<std::string> branchDepthProblem(const TreeNode& parent, int levels);

std::optional<std::string> branchNameProblem(const EditorState& state, const TreeNode& parent,
                                             const std::string& name, const TreeNode* self);
// The same without the key: what the name alone breaks.
std::optional<std::string> branchNameTextProblem(const std::string& name);

// New objects: node selected and visible, counter + 1. Throw EditorError when a key is taken.
TreeNode& addNewDevice(EditorState& state, std::shared_ptr<clsPLC> device);
TreeNode& addNewBranch(EditorState& state, TreeNode& parent, const std::string& name);
TreeNode& addNewModbusType(EditorState& state, std::shared_ptr<clsModBusType> type);

// The unit of `node` becomes `device`: name, key and settings; everything below is re-keyed.
void replaceDevice(EditorState& state, TreeNode& node, std::shared_ptr<clsPLC> device);
void renameBranch(EditorState& state, TreeNode& node, const std::string& name);
// The type of the same name gets `type`'s codes.
void replaceModbusType(EditorState& state, std::shared_ptr<clsModBusType> type);

// RemoveBranch: takes every item and branch below `node` out of their collections; the
// caller removes the nodes.
void RemoveBranch(EditorState& state, TreeNode& node);
// Deletes an item, a branch with everything below it, or a unit without children. False when
// nothing was deleted (a unit that is not empty, a Modbus type, the folder, the root).
bool deleteObject(EditorState& state, TreeNode& node);

} // namespace vorn::editor
