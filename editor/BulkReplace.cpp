#include "BulkReplace.h"

#include "EditorError.h"
#include "EditorState.h"
#include "NameRules.h"

#include <set>

namespace vorn::editor {
namespace {

std::string trimBlanks(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Control characters would not survive the file (or make a tag the servers can name).
std::optional<std::string> controlCharProblem(const std::string& name) {
    for (char c : name) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 0x20 || code == 0x7F)
            return "Character (code " + std::to_string(code) + ") not acceptable in string " + name;
    }
    return std::nullopt;
}

// The node the listed items lie under: the selected branch, or the selected item's parent.
const TreeNode* rowsParent(const EditorState& state) {
    const TreeNode* selected = state.tree.selected();
    if (selected && selected->tag == kTagItem)
        return selected->parent;
    return selected;
}

std::optional<std::string> namesProblem(const EditorState& state,
                                        const std::vector<std::string>& names,
                                        const std::vector<std::string>& selectedKeys) {
    // Sets, not nested loops: the clipboard may hold any number of lines.
    const std::set<std::string> renamed(selectedKeys.begin(), selectedKeys.end());
    std::set<std::string> keptNames;
    if (const TreeNode* parent = rowsParent(state)) {
        for (const TreeNode* sibling : parent->children) {
            if (!renamed.count(sibling->key))
                keptNames.insert(sibling->text);
        }
    }
    std::set<std::string> seen;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        if (name.empty())
            return "Line " + std::to_string(i + 1) + " of the clipboard holds no name";
        if (!seen.insert(name).second)
            return "Name " + name + " appears twice in the clipboard";
        if (keptNames.count(name))
            return std::string(kNameExistingMessage);
    }
    return std::nullopt;
}

// A key no node or item holds, to park a renamed item on while the others move.
std::string parkingKey(const EditorState& state, size_t index) {
    std::string key = "\x01rename" + std::to_string(index);
    while (state.tree.contains(key) || state.items.contains(key))
        key += '\x01';
    return key;
}

} // namespace

std::vector<std::string> clipboardLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', start)) {
        size_t end = lf > start && text[lf - 1] == '\r' ? lf - 1 : lf;
        lines.push_back(trimBlanks(text.substr(start, end - start)));
        start = lf + 1;
    }
    if (lines.empty())
        lines.push_back(text);
    return lines;
}

std::pair<std::string, std::string> replaceHeaders(ReplaceField field) {
    if (field == ReplaceField::name)
        return {"Item name", "New Item name"};
    return {"Item comment", "New Item comment"};
}

ReplacePlan planReplace(const EditorState& state, ReplaceField field,
                        const std::string& clipboardText,
                        const std::vector<std::string>& selectedKeys) {
    ReplacePlan plan;
    plan.field = field;
    if (clipboardText.empty()) {
        plan.refusal = kEmptyClipboardMessage;
        return plan;
    }
    const std::vector<std::string> lines = clipboardLines(clipboardText);
    if (field == ReplaceField::name) {
        plan.refusal = namesProblem(state, lines, selectedKeys);
        if (plan.refusal)
            return plan;
    }
    if (selectedKeys.size() != lines.size()) {
        plan.refusal = kInvalidSelectionMessage;
        return plan;
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        const clsItem& item = state.items.item(selectedKeys[i]);
        plan.rows.push_back(
            {selectedKeys[i], field == ReplaceField::name ? item.sName : item.sComment, lines[i]});
    }
    return plan;
}

ReplaceResult applyComments(EditorState& state, const ReplacePlan& plan) {
    ReplaceResult result;
    for (const ReplaceRow& row : plan.rows)
        state.items.item(row.key).sComment = row.replacement;
    result.changed = plan.rows.size();
    state.configSaved = false;
    return result;
}

ReplaceResult applyNames(EditorState& state, const ReplacePlan& plan) {
    struct Rename {
        TreeNode* node;
        std::shared_ptr<clsItem> item;
        std::string name;
        std::string key;
    };
    ReplaceResult result;
    std::vector<Rename> renames;
    std::set<const TreeNode*> renamedNodes;
    for (const ReplaceRow& row : plan.rows) {
        TreeNode* node = state.tree.find(row.key);
        std::shared_ptr<clsItem> item = state.items.find(row.key);
        if (!node || !item)
            throw EditorError(kErrElementNotFound, "Element not found: " + row.key);
        std::optional<std::string> problem = nameCharsProblem(row.replacement);
        if (!problem)
            problem = controlCharProblem(row.replacement);
        if (problem) {
            result.skipped.push_back(*problem);
            continue;
        }
        renames.push_back(
            {node, item, row.replacement, item->getParentKey() + "." + row.replacement});
        renamedNodes.insert(node);
    }
    // Phase one: every new key is free, or held by an item renamed here, and used once.
    std::set<std::string> newKeys;
    for (const Rename& rename : renames) {
        const TreeNode* holder = state.tree.find(rename.key);
        const bool heldByOther = holder && !renamedNodes.count(holder);
        if (heldByOther || !newKeys.insert(rename.key).second ||
            (!holder && state.items.contains(rename.key))) {
            result.refusal = kNameExistingMessage;
            return result;
        }
    }
    // Phase two: park every renamed item on a free key, then give each its new one.
    std::vector<std::string> parked;
    for (size_t i = 0; i < renames.size(); ++i) {
        parked.push_back(parkingKey(state, i));
        state.tree.setKey(*renames[i].node, parked.back());
        state.items.replace(renames[i].item->sKey, parked.back(), renames[i].item);
    }
    for (size_t i = 0; i < renames.size(); ++i) {
        Rename& rename = renames[i];
        state.items.replace(parked[i], rename.key, rename.item);
        state.tree.setKey(*rename.node, rename.key);
        rename.item->sName = rename.name;
        rename.item->sKey = rename.key;
        rename.node->text = rename.name;
    }
    result.changed = renames.size();
    state.configSaved = false;
    return result;
}

} // namespace vorn::editor
