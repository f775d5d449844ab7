#include "ItemClipboard.h"

#include "EditorError.h"
#include "EditorState.h"
#include "ModelInsert.h"

namespace vorn::editor {
namespace {

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

std::shared_ptr<clsItem> snapshot(const clsItem& item) {
    return std::make_shared<clsItem>(item);
}

bool keyTaken(const EditorState& state, const std::string& key) {
    return state.items.contains(key) || state.tree.contains(key);
}

} // namespace

CopyOutcome copyListRows(EditorState& state, const std::vector<std::string>& rowKeys) {
    state.copyCounter = 0;
    CopyOutcome outcome;
    std::vector<std::shared_ptr<clsItem>> stored;
    for (const std::string& key : rowKeys) {
        std::shared_ptr<clsItem> item = state.items.find(key);
        if (!item)
            continue;
        if (startsWith(item->sName, "New_Item") || startsWith(item->sName, "Copied_Item")) {
            outcome.refusal = kDefaultNameCopyMessage;
            break;
        }
        stored.push_back(snapshot(*item));
    }
    outcome.stored = stored.size();
    if (!stored.empty())
        state.itemClipboard = std::move(stored);
    return outcome;
}

CopyOutcome copyTreeNode(EditorState& state, const TreeNode& node) {
    state.copyCounter = 0;
    CopyOutcome outcome;
    if (node.tag == kTagBranch) {
        outcome.refusal = kBranchCopyMessage;
    } else if (node.tag == kTagItem) {
        const clsItem& item = state.items.item(node.key);
        if (startsWith(item.sName, "New_Item")) {
            outcome.refusal = kDefaultNameCopyMessage;
        } else {
            state.itemClipboard = {snapshot(item)};
            outcome.stored = 1;
        }
    }
    return outcome;
}

PasteOutcome pasteItems(EditorState& state, TreeNode& target) {
    PasteOutcome outcome;
    if (state.itemClipboard.empty()) {
        outcome.refusal = kNothingToPasteMessage;
        return outcome;
    }
    if (target.tag != kTagBranch)
        return outcome;
    for (const std::shared_ptr<clsItem>& source : state.itemClipboard) {
        if (!source || source->sName.empty())
            continue;
        auto copy = std::make_shared<clsItem>();
        copy->SetByCopy(*source, target.key, state.copyCounter);
        // Every collision lengthens the name, so each try is a new key: at most one try per
        // node of the tree can fail.
        for (size_t tries = 0; keyTaken(state, copy->sKey); ++tries) {
            if (tries > state.tree.size())
                throw EditorError(kErrDuplicateCollectionKey,
                                  "This key is already associated with an element of this "
                                  "collection: " +
                                      copy->sKey);
            ++state.copyCounter;
            const std::string suffix = "_" + std::to_string(state.copyCounter);
            copy->sName += suffix;
            copy->sKey += suffix;
        }
        outcome.added.push_back(&addItem(state, target, copy));
    }
    ++state.copyCounter;
    state.configSaved = false;
    return outcome;
}

} // namespace vorn::editor
