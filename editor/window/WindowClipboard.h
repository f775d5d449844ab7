// The main window's clipboard commands: Copy, Cut, Paste, right-button drag and drop in the
// tree, and Paste Item names / comments from the system clipboard through frmReplace. The
// window forwards its menu commands here; the decisions are the core's ClipboardCommands.
#pragma once

#include "SystemClipboard.h"
#include "TreeDragDrop.h"
#include "editor/ClipboardCommands.h"
#include "frmReplace.h"

class QTreeWidget;

namespace vorn::editor {

class EditorSession;
class ObjectListView;

class WindowClipboard {
public:
    WindowClipboard(EditorSession& session, QTreeWidget& tree, ObjectListView& list,
                    TreeDragDrop::NodeOf nodeOf, QWidget* owner);

    void copy();
    void cut();
    void paste();
    void pasteNames();
    void pasteComments();
    // The drop handler of the tree: what a right-button drag of `source` onto `target` does.
    DropOutcome drop(TreeNode& source, TreeNode& target, bool copy);

    // Reads and clears `clipboard` instead of the system's (tests); null goes back to the
    // system's.
    void useClipboard(TextClipboard* clipboard) {
        commands_.useClipboard(clipboard ? *clipboard : systemClipboard_);
    }
    TreeDragDrop& dragDrop() { return *dragDrop_; }

private:
    ViewFocus focus() const;

    QTreeWidget& tree_;
    ObjectListView& list_;
    SystemClipboard systemClipboard_;
    ReplaceDialogConfirmation confirmation_;
    ClipboardCommands commands_;
    TreeDragDrop* dragDrop_; // owned by the tree
};

} // namespace vorn::editor
