#include "TreeDrop.h"

#include "EditorError.h"
#include "EditorState.h"
#include "StructureEdits.h"

#include <algorithm>
#include <vector>

namespace vorn::editor {
namespace {

// The levels of branches `node` brings: 0 for an item, 1 for a branch without branches below.
int branchLevelsOf(const TreeNode& node) {
    int deepest = 0;
    std::vector<std::pair<const TreeNode*, int>> pending{{&node, 1}};
    while (!pending.empty()) {
        auto [at, level] = pending.back();
        pending.pop_back();
        if (at->tag != kTagBranch)
            continue;
        deepest = std::max(deepest, level);
        for (const TreeNode* child : at->children)
            pending.emplace_back(child, level + 1);
    }
    return deepest;
}

bool isMovable(const TreeNode& node) {
    return node.tag == kTagBranch || node.tag == kTagItem;
}

// Items and branches live under units and branches only.
bool takesChildren(const TreeNode& node) {
    return node.tag == kTagPlc || node.tag == kTagBranch;
}

bool isSelfOrBelow(const TreeNode& node, const TreeNode& top) {
    for (const TreeNode* up = &node; up; up = up->parent) {
        if (up == &top)
            return true;
    }
    return false;
}

bool keyTaken(const EditorState& state, const std::string& key) {
    return state.tree.contains(key) || state.items.contains(key) || state.branches.contains(key);
}

// Every key the source's subtree will have below `targetKey` is free. Names never hold ".",
// so this only fails on the top key; files written elsewhere are not trusted to keep that.
bool subtreeKeysFree(const EditorState& state, const TreeNode& source,
                     const std::string& targetKey) {
    std::vector<std::pair<const TreeNode*, std::string>> pending{
        {&source, targetKey + "." + source.text}};
    while (!pending.empty()) {
        auto [node, key] = pending.back();
        pending.pop_back();
        if (keyTaken(state, key))
            return false;
        for (const TreeNode* child : node->children)
            pending.emplace_back(child, key + "." + child->text);
    }
    return true;
}

// Enters the object of `from` in its collection under the key of `to`.
void enterObject(EditorState& state, const TreeNode& from, const TreeNode& to, bool copy) {
    if (from.tag == kTagItem) {
        std::shared_ptr<clsItem> item = state.items.find(from.key);
        if (!item)
            throw EditorError(kErrElementNotFound, "Element not found: " + from.key);
        if (copy) {
            auto made = std::make_shared<clsItem>(*item);
            made->sKey = to.key;
            state.items.add(to.key, made);
        } else {
            state.items.replace(from.key, to.key, item);
            item->sKey = to.key;
        }
    } else if (from.tag == kTagBranch) {
        std::shared_ptr<clsBranch> branch = state.branches.find(from.key);
        if (!branch)
            throw EditorError(kErrElementNotFound, "Element not found: " + from.key);
        if (copy) {
            auto made = std::make_shared<clsBranch>();
            made->sName = branch->sName;
            made->sKey = to.key;
            state.branches.add(to.key, made);
        } else {
            state.branches.replace(from.key, to.key, branch);
            branch->sKey = to.key;
        }
    }
}

} // namespace

std::optional<DropMessage> dropMessage(DropOutcome outcome) {
    switch (outcome) {
    case DropOutcome::notDraggable:
        return DropMessage{"Only branches and items can be moved or copied by dragging",
                           MessageIcon::warning};
    case DropOutcome::unableHere:
        return DropMessage{"Unable to drag nodes here", MessageIcon::warning};
    case DropOutcome::nameInUse:
        return DropMessage{"Name already in use at this level. Move not allowed",
                           MessageIcon::error};
    case DropOutcome::tooDeep:
        return DropMessage{kBranchDepthMessage, MessageIcon::error};
    default:
        return std::nullopt;
    }
}

void CopySubTree(EditorState& state, TreeNode& newNode, const TreeNode& sourceNode, bool copy) {
    std::vector<std::pair<TreeNode*, const TreeNode*>> pending{{&newNode, &sourceNode}};
    while (!pending.empty()) {
        auto [to, from] = pending.back();
        pending.pop_back();
        for (const TreeNode* child : from->children) {
            TreeNode& made = state.tree.add(*to, to->key + "." + child->text, child->text,
                                            child->tag, child->image);
            made.expanded = child->expanded;
            enterObject(state, *child, made, copy);
            if (child->tag == kTagBranch)
                pending.emplace_back(&made, child);
        }
    }
}

DropResult dropNode(EditorState& state, TreeNode& source, TreeNode& target, bool copy) {
    if (!isMovable(source))
        return {DropOutcome::notDraggable};
    if (!takesChildren(target))
        return {DropOutcome::unableHere};
    if (source.parent == &target)
        return {DropOutcome::ontoParent};
    if (isSelfOrBelow(target, source))
        return {DropOutcome::unableHere};
    if (!subtreeKeysFree(state, source, target.key))
        return {DropOutcome::nameInUse};
    if (branchDepthProblem(target, branchLevelsOf(source)))
        return {DropOutcome::tooDeep};

    TreeNode& added = state.tree.add(target, target.key + "." + source.text, source.text,
                                     source.tag, source.image);
    enterObject(state, source, added, copy);
    CopySubTree(state, added, source, copy);
    added.expanded = true;
    state.tree.ensureVisible(added);
    if (!copy)
        state.tree.remove(source);
    state.configSaved = false;
    return {copy ? DropOutcome::copied : DropOutcome::moved, &added};
}

} // namespace vorn::editor
