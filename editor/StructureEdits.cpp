#include "StructureEdits.h"

#include "ConfigImport.h"
#include "EditorError.h"
#include "EditorState.h"
#include "Keys.h"
#include "ModelInsert.h"
#include "NameRules.h"

#include <vector>

namespace vorn::editor {
namespace {

// Keys below a node all begin with the node's key and "."; names never hold ".". So when the
// new key of a node is free, every key below it will be free too, and re-keying cannot fail.
void requireFreeKey(const EditorState& state, const std::string& key, const TreeNode* self) {
    const TreeNode* holder = state.tree.find(key);
    if (holder && holder != self)
        throw EditorError(kErrDuplicateNodeKey, "Key is not unique in collection: " + key);
}

// 0 for a unit, 1 for a branch right under it, and so on.
int branchLevel(const TreeNode& node) {
    int level = 0;
    for (const TreeNode* at = &node; at && at->tag != kTagPlc; at = at->parent)
        ++level;
    return level;
}

void changed(EditorState& state, TreeNode& node) {
    state.tree.ensureVisible(node);
    state.tree.select(&node);
    state.configSaved = false;
}

} // namespace

const std::string kBranchDepthMessage =
    "Branches can be nested " + std::to_string(kMaxBranchDepth) +
    " levels deep under a unit: the servers load no deeper ones.";

std::optional<std::string> branchDepthProblem(const TreeNode& parent, int levels) {
    if (branchLevel(parent) + levels > kMaxBranchDepth)
        return kBranchDepthMessage;
    return std::nullopt;
}

std::optional<std::string> branchNameTextProblem(const std::string& name) {
    if (name.empty())
        return std::string("Branch name is empty.");
    if (auto problem = nameCharsProblem(name))
        return problem;
    if (!isWritableBranchName(name))
        return "Branch name " + name +
               " is not allowed: it must begin with a letter or \"_\", hold only letters, digits, "
               "\"-\" and \"_\", and not be \"tag\".";
    return std::nullopt;
}

std::optional<std::string> branchNameProblem(const EditorState& state, const TreeNode& parent,
                                             const std::string& name, const TreeNode* self) {
    if (auto problem = branchNameTextProblem(name))
        return problem;
    if (!self) {
        if (auto problem = branchDepthProblem(parent, 1))
            return problem;
    }
    return keyTakenProblem(state.tree, parent.key + "." + name, self);
}

TreeNode& addNewDevice(EditorState& state, std::shared_ptr<clsPLC> device) {
    TreeNode& node = addDevice(state, std::move(device));
    ++state.deviceCounter;
    changed(state, node);
    return node;
}

TreeNode& addNewBranch(EditorState& state, TreeNode& parent, const std::string& name) {
    auto branch = std::make_shared<clsBranch>();
    branch->sName = name;
    branch->sKey = MakeKey(name, parent, false);
    TreeNode& node = addBranch(state, parent, std::move(branch));
    ++state.branchCounter;
    changed(state, node);
    return node;
}

TreeNode& addNewModbusType(EditorState& state, std::shared_ptr<clsModBusType> type) {
    TreeNode& node = addModbusType(state, std::move(type));
    ++state.typeCounter;
    changed(state, node);
    return node;
}

void replaceDevice(EditorState& state, TreeNode& node, std::shared_ptr<clsPLC> device) {
    const std::string oldKey = node.key;
    const std::string newKey = device->sKey();
    requireFreeKey(state, newKey, &node);
    if (newKey != oldKey && state.devices.contains(newKey))
        throw EditorError(kErrDuplicateCollectionKey,
                          "This key is already associated with an element of this collection: " +
                              newKey);
    // A second unit of one name keeps the name it is served under until it is renamed.
    if (const auto old = state.devices.find(oldKey); old && old->getName() == device->getName())
        device->setServedName(old->servedName());
    const std::string name = device->getName();
    state.devices.replace(oldKey, newKey, std::move(device));
    state.tree.setKey(node, newKey);
    node.text = name;
    ReKeySubtree(state, node);
    changed(state, node);
}

void renameBranch(EditorState& state, TreeNode& node, const std::string& name) {
    if (!node.parent)
        throw EditorError(kErrInvalidArgument, "Invalid procedure call or argument: no parent");
    const std::string oldKey = node.key;
    const std::string newKey = MakeKey(name, node, true);
    requireFreeKey(state, newKey, &node);
    auto branch = std::make_shared<clsBranch>();
    branch->sName = name;
    branch->sKey = newKey;
    state.branches.replace(oldKey, newKey, std::move(branch));
    state.tree.setKey(node, newKey);
    node.text = name;
    ReKeySubtree(state, node);
    changed(state, node);
}

void replaceModbusType(EditorState& state, std::shared_ptr<clsModBusType> type) {
    const std::string name = type->getName();
    TreeNode* node = state.tree.find(name);
    if (!node || node->tag != kTagDatatype)
        throw EditorError(kErrElementNotFound, "Element not found: ModBus type " + name);
    state.modbusTypes.replace(name, name, std::move(type));
    changed(state, *node);
}

void RemoveBranch(EditorState& state, TreeNode& node) {
    // An explicit stack: branches may nest deeply.
    std::vector<TreeNode*> pending{&node};
    while (!pending.empty()) {
        TreeNode* current = pending.back();
        pending.pop_back();
        for (TreeNode* child : current->children) {
            if (child->tag == kTagItem) {
                state.items.remove(child->key);
            } else if (child->tag == kTagBranch) {
                state.branches.remove(child->key);
                pending.push_back(child);
            }
        }
    }
}

bool deleteObject(EditorState& state, TreeNode& node) {
    TreeNode* parent = node.parent;
    if (node.tag == kTagItem) {
        state.items.remove(node.key);
    } else if (node.tag == kTagBranch) {
        RemoveBranch(state, node);
        state.branches.remove(node.key);
    } else if (node.tag == kTagPlc && node.children.empty()) {
        state.devices.remove(node.key);
    } else {
        return false;
    }
    state.tree.remove(node);
    if (parent)
        state.tree.select(parent);
    state.configSaved = false;
    return true;
}

} // namespace vorn::editor
