#include "ClipboardCommands.h"

#include "CommandHandler.h"
#include "EditorError.h"
#include "EditorSession.h"
#include "ItemClipboard.h"
#include "platform/MessageBox.h"

namespace vorn::editor {
namespace {

void tell(const std::string& text, MessageIcon icon = MessageIcon::none) {
    showMessage(text, kEditorCaption, icon, MessageButtons::ok);
}

} // namespace

ClipboardCommands::ClipboardCommands(EditorSession& session, TextClipboard& clipboard,
                                     ReplaceConfirmation& confirmation)
    : session_(session), clipboard_(&clipboard), confirmation_(confirmation) {}

bool ClipboardCommands::copyAll(ViewFocus focus, const std::vector<std::string>& selectedRows) {
    EditorState& state = session_.state();
    CopyOutcome outcome;
    size_t wanted = 0;
    if (focus == ViewFocus::list) {
        outcome = copyListRows(state, selectedRows);
        wanted = selectedRows.size();
    } else if (focus == ViewFocus::tree && state.tree.selected()) {
        outcome = copyTreeNode(state, *state.tree.selected());
        wanted = 1;
    }
    if (outcome.refusal)
        tell(*outcome.refusal);
    return !outcome.refusal && outcome.stored > 0 && outcome.stored == wanted;
}

void ClipboardCommands::copy(ViewFocus focus, const std::vector<std::string>& selectedRows) {
    runHandler("mnuCopy_Click", [&] { (void)copyAll(focus, selectedRows); });
}

void ClipboardCommands::cut(ViewFocus focus, const std::vector<std::string>& selectedRows) {
    bool copied = false;
    runHandler("mnuCut_Click", [&] { copied = copyAll(focus, selectedRows); });
    if (copied)
        session_.deleteObject(focus == ViewFocus::list, selectedRows);
}

void ClipboardCommands::paste() {
    runHandler("mnuPaste_Click", [&] {
        TreeNode* target = session_.state().tree.selected();
        if (!target)
            return;
        PasteOutcome outcome = pasteItems(session_.state(), *target);
        if (outcome.refusal) {
            tell(*outcome.refusal);
            return;
        }
        if (!outcome.added.empty())
            session_.showChanged(*target, *target);
    });
}

DropOutcome ClipboardCommands::drop(TreeNode& source, TreeNode& target, bool copy) {
    DropOutcome outcome = DropOutcome::unableHere;
    runHandler("CopySubTree", [&] {
        DropResult result = dropNode(session_.state(), source, target, copy);
        outcome = result.outcome;
        if (std::optional<DropMessage> message = dropMessage(outcome))
            tell(message->text, message->icon);
        if (result.added)
            session_.showChanged(*result.added, *result.added);
    });
    return outcome;
}

void ClipboardCommands::pasteNames(const std::vector<std::string>& selectedRows) {
    runHandler("Paste_Name_Click", [&] { replace(ReplaceField::name, selectedRows); });
}

void ClipboardCommands::pasteComments(const std::vector<std::string>& selectedRows) {
    runHandler("Paste_Comment_Click", [&] { replace(ReplaceField::comment, selectedRows); });
}

void ClipboardCommands::replace(ReplaceField field, const std::vector<std::string>& selectedRows) {
    EditorState& state = session_.state();
    const ReplacePlan plan = planReplace(state, field, clipboard_->text(), selectedRows);
    // A refused paste leaves the user's clipboard as it was, to be mended and pasted again.
    if (plan.refusal) {
        tell(*plan.refusal);
        return;
    }
    if (!confirmation_.confirmReplace(plan))
        return;
    ReplaceResult result =
        field == ReplaceField::name ? applyNames(state, plan) : applyComments(state, plan);
    for (const std::string& skipped : result.skipped)
        tell(skipped);
    if (result.refusal) {
        tell(*result.refusal);
        return;
    }
    if (field == ReplaceField::name || result.changed > 1)
        clipboard_->clear();
    state.configSaved = false;
    if (TreeNode* listed = state.tree.selected())
        session_.showChanged(*listed, *listed);
}

} // namespace vorn::editor
