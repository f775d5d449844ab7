// The clipboard commands of the main window: Copy, Cut, Paste, the drop of a dragged node, and
// Paste Item names / comments from the system clipboard. Each runs as a handler of its own
// (errors are shown naming it) and tells the user what was refused. The window supplies the
// system clipboard and the replace confirmation.
#pragma once

#include "BulkReplace.h"
#include "TreeDrop.h"

#include <string>
#include <vector>

namespace vorn::editor {

class EditorSession;

// The system clipboard as text.
class TextClipboard {
public:
    virtual ~TextClipboard() = default;
    virtual std::string text() = 0;
    virtual void clear() = 0;
};

// The replace dialog: shows the plan, true when the user answered YES.
class ReplaceConfirmation {
public:
    virtual ~ReplaceConfirmation() = default;
    virtual bool confirmReplace(const ReplacePlan& plan) = 0;
};

// Which of the window's two views had the focus when a command was given.
enum class ViewFocus { list, tree, other };

class ClipboardCommands {
public:
    ClipboardCommands(EditorSession& session, TextClipboard& clipboard,
                      ReplaceConfirmation& confirmation);

    void useClipboard(TextClipboard& clipboard) { clipboard_ = &clipboard; }

    // `selectedRows`: keys of the list's selected rows, in the list's order.
    void copy(ViewFocus focus, const std::vector<std::string>& selectedRows);
    // Copy, then Delete Object with its question; only what the copy took is deleted, so a
    // refused copy deletes nothing.
    void cut(ViewFocus focus, const std::vector<std::string>& selectedRows);
    void paste();
    // The drop handler: shows the outcome's message; a moved or copied node is selected.
    DropOutcome drop(TreeNode& source, TreeNode& target, bool copy);
    void pasteNames(const std::vector<std::string>& selectedRows);
    void pasteComments(const std::vector<std::string>& selectedRows);

private:
    // Copy's decisions; true when every selected object was taken.
    bool copyAll(ViewFocus focus, const std::vector<std::string>& selectedRows);
    void replace(ReplaceField field, const std::vector<std::string>& selectedRows);

    EditorSession& session_;
    TextClipboard* clipboard_;
    ReplaceConfirmation& confirmation_;
};

} // namespace vorn::editor
