#include "ItemEdits.h"

#include "CommandHandler.h"
#include "EditorError.h"
#include "EditorState.h"
#include "Keys.h"
#include "ModelInsert.h"
#include "NameRules.h"
#include "platform/MessageBox.h"

namespace vorn::editor {
namespace {

bool mayHoldItems(const TreeNode* node) {
    return node && (node->tag == kTagPlc || node->tag == kTagBranch);
}

struct GroupName {
    std::string base;
    long long next;
};

// "Flow_1" continues with Flow_2; "Flow" with Flow_1.
GroupName groupNameOf(const std::string& first) {
    const size_t underscore = first.rfind('_');
    const std::string digits = underscore == std::string::npos ? "" : first.substr(underscore + 1);
    if (!digits.empty() && digits.size() < 9 &&
        digits.find_first_not_of("0123456789") == std::string::npos)
        return {first.substr(0, underscore), std::stoll(digits) + 1};
    return {first, 1};
}

} // namespace

ItemEdits::ItemEdits(EditorState& state) : state_(state) {}

void ItemEdits::tell(const std::string& text) const {
    showMessage(text, kEditorCaption, MessageIcon::none, MessageButtons::ok, owner_);
}

// A name that breaks keys or the file: the dialog's filter keeps these out of typed and pasted
// text, this guards every other way in. Item names hold no blanks.
bool ItemEdits::nameIsUsable(const std::string& name) const {
    if (auto problem = nameCharsProblem(name)) {
        tell(*problem);
        return false;
    }
    return true;
}

// A branch of the same name under the same parent would share the item's key.
bool ItemEdits::keyIsFree(const std::string& key, const TreeNode* self) const {
    if (auto problem = keyTakenProblem(state_.tree, key, self)) {
        tell(*problem);
        return false;
    }
    return true;
}

ItemEdits::ItemEdits(EditorState& state, TreeNode& itemNode) : state_(state), edited_(&itemNode) {
    if (itemNode.tag != kTagItem || !state.items.contains(itemNode.key))
        throw EditorError(kErrElementNotFound, "Element not found: item " + itemNode.key);
}

std::shared_ptr<clsItem> ItemEdits::editedItem() const {
    return edited_ ? state_.items.find(edited_->key) : nullptr;
}

ItemFields ItemEdits::initialFields() const {
    if (auto item = editedItem())
        return fieldsOf(*item);
    return newItemFields(state_.itemCounter);
}

bool ItemEdits::AddItemToColl(const ItemFields& fields) {
    mayClose_ = false;
    if (auto problem = CheckFields(fields)) {
        tell(*problem);
        return false;
    }
    bool done = false;
    runHandler("AddItemToColl", [&] { done = modifying() ? modify(fields) : addNew(fields); });
    return done;
}

bool ItemEdits::addNew(const ItemFields& fields) {
    TreeNode* parent = state_.tree.selected();
    // Items live only under units and branches; the window offers the command nowhere else.
    if (!mayHoldItems(parent)) {
        tell("Items can only be added to a unit or a branch.");
        return false;
    }
    if (!CheckDuplNames(kTagItem, fields.name, state_.tree, false) || !nameIsUsable(fields.name))
        return false;
    const std::string key = MakeKey(fields.name, *parent, false);
    if (!keyIsFree(key, nullptr))
        return false;
    auto item = std::make_shared<clsItem>();
    SetByForm(*item, fields, key);
    addItem(state_, *parent, std::move(item));
    state_.configSaved = false;
    ++state_.itemCounter;
    state_.itemAdded = true;
    mayClose_ = true;
    return true;
}

bool ItemEdits::modify(const ItemFields& fields) {
    TreeNode& node = *edited_;
    const std::string oldKey = node.key;
    if (!state_.items.contains(oldKey))
        throw EditorError(kErrElementNotFound, "Element not found: item " + oldKey);
    state_.tree.select(&node);
    if (fields.name != node.text &&
        (!CheckDuplNames(kTagItem, fields.name, state_.tree, true) || !nameIsUsable(fields.name)))
        return false;
    const std::string newKey = MakeKey(fields.name, node, true);
    if (!keyIsFree(newKey, &node))
        return false;
    auto item = std::make_shared<clsItem>();
    SetByForm(*item, fields, newKey);
    // In the old item's place, so the order of the saved file stays.
    state_.items.replace(oldKey, newKey, std::move(item));
    state_.tree.setKey(node, newKey);
    node.text = fields.name;
    state_.tree.ensureVisible(node);
    state_.tree.select(&node);
    state_.configSaved = false;
    return true;
}

bool ItemEdits::addAndIncrement(ItemFields& fields) {
    if (!AddItemToColl(fields))
        return false;
    prepareNextItem(fields, state_.itemCounter);
    return true;
}

bool ItemEdits::addGroup(ItemFields& fields, const std::string& countText, int* added) {
    if (added)
        *added = 0;
    const std::optional<long long> count = groupCount(countText);
    if (!count) {
        tell("Number of items is not valid.");
        return false;
    }
    // The group is named after its first item: Flow, Flow_1, Flow_2, ...; Flow_1, Flow_2, ...
    const GroupName name = groupNameOf(fields.name);
    for (long long pass = 0; pass < *count; ++pass) {
        if (!addAndIncrement(fields))
            break;
        fields.name = name.base + "_" + std::to_string(name.next + pass);
        if (added)
            ++*added;
    }
    return true;
}

} // namespace vorn::editor
