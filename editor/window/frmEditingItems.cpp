// The main window's item commands: Add Item, and a double click on an item to modify it. The
// item dialog adds and changes the items and their nodes itself; the window shows the tree
// again after each change and refreshes its list when the dialog closes.
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
            state, nullptr, [this] { configurationChanged(); }, this);
        dialog.exec();
        configurationChanged();
        session_.nodeClick(*selected);
    });
}

void frmEditing::editItem(TreeNode& node) {
    EditorState& state = session_.state();
    state.editItem = true;
    {
        frmItems dialog(
            state, &node, [this] { configurationChanged(); }, this);
        dialog.exec();
    }
    state.editItem = false;
    configurationChanged();
    if (node.parent)
        session_.nodeClick(*node.parent);
}

} // namespace vorn::editor
