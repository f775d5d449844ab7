// Adding and modifying items, as the item dialog's buttons do: the checks of the fields and
// the name, then the item and its tree node changed together. Refusals are shown in OK-only
// boxes; run-time errors in the editor's standard message naming AddItemToColl.
#pragma once

#include "ItemForm.h"

#include <memory>
#include <string>

namespace vorn::editor {

struct EditorState;
struct TreeNode;

class ItemEdits {
public:
    // Adding items below the tree's selected node, which must be a unit or a branch.
    explicit ItemEdits(EditorState& state);
    // Modifying the item of `itemNode`.
    ItemEdits(EditorState& state, TreeNode& itemNode);

    // The window that owns the boxes the checks show (null: none).
    void setOwner(void* owner) { owner_ = owner; }
    bool modifying() const { return edited_ != nullptr; }
    // The item being modified as the collection holds it now: after a modification this is
    // the new object, under its new key, so a second modification changes it again.
    std::shared_ptr<clsItem> editedItem() const;
    // The fields the dialog opens with.
    ItemFields initialFields() const;

    // Checks the fields and the name, then adds a new item (and sets the may-close flag) or
    // replaces the modified one. False, with the reason shown, when nothing changed.
    [[nodiscard]] bool AddItemToColl(const ItemFields& fields);
    // Set by an addition; cleared at the start of every AddItemToColl.
    bool mayClose() const { return mayClose_; }

    // "Add and Increment": adds, then prepares the next item in `fields`.
    [[nodiscard]] bool addAndIncrement(ItemFields& fields);
    // "OK" of the group panel: false, with "Number of items is not valid.", when `countText`
    // is no number; otherwise runs "Add and Increment" that many times, stopping at the first
    // pass that fails, and returns true. `added` receives the number of items added.
    [[nodiscard]] bool addGroup(ItemFields& fields, const std::string& countText,
                                int* added = nullptr);

private:
    bool addNew(const ItemFields& fields);
    bool modify(const ItemFields& fields);
    void tell(const std::string& text) const;
    bool nameIsUsable(const std::string& name) const;
    bool keyIsFree(const std::string& key, const TreeNode* self) const;

    EditorState& state_;
    TreeNode* edited_ = nullptr;
    bool mayClose_ = false;
    void* owner_ = nullptr;
};

} // namespace vorn::editor
