// The main window's item commands: Add Item, and a double click on an item to modify it. The
// item dialog adds and changes the items and their nodes itself; the window shows the tree and
// the list again after each change (while the dialog stays open) and when the dialog closes.
#include "editor/CommandHandler.h"
#include "frmEditing.h"
#include "frmItems.h"
#include "platform/MessageBox.h"

namespace vorn::editor {

void frmEditing::addItem() {
    runHandler("mnuAddItem_Click", [this] {
        EditorState& state = session_.state();
        TreeNode* selected = state.tree.selected();
        // Items live under units and branches only; the command is offered nowhere else.
        if (!selected || (selected->tag != kTagPlc && selected->tag != kTagBranch))
            return;
        if (state.modbusTypes.size() == 0) {
            showMessage(kNoModbusTypeMessage, kEditorCaption, MessageIcon::none, MessageButtons::ok,
                        this);
            return;
        }
        state.editItem = false;
        state.itemAdded = false;
        frmItems dialog(
            state, nullptr, [this, selected] { showItemChanges(*selected); }, this);
        dialog.exec();
        showItemChanges(*selected);
    });
}

void frmEditing::editItem(TreeNode& node) {
    EditorState& state = session_.state();
    state.editItem = true;
    TreeNode& listed = node.parent ? *node.parent : node;
    {
        frmItems dialog(
            state, &node, [this, &listed] { showItemChanges(listed); }, this);
        dialog.exec();
    }
    state.editItem = false;
    showItemChanges(listed);
}

// The tree again, and the list of `listed` (the unit or branch the items are in).
void frmEditing::showItemChanges(TreeNode& listed) {
    configurationChanged();
    session_.nodeClick(listed);
}

} // namespace vorn::editor
