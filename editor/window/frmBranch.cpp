#include "frmBranch.h"

#include "DialogButtons.h"
#include "editor/EditorError.h"
#include "editor/EditorSession.h"
#include "editor/StructureEdits.h"
#include "platform/MessageBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace vorn::editor {

frmBranch::frmBranch(EditorSession& session, TreeNode& node, bool rename, QWidget* parent)
    : QDialog(parent), session_(session), node_(node), rename_(rename) {
    setObjectName("frmBranch");
    setWindowTitle("Branch Name");
    setModal(true);
    txtBranchName_ = new QLineEdit(this);
    txtBranchName_->setObjectName("txtBranchName");
    txtBranchName_->setText(rename ? QString::fromStdString(node.text)
                                   : "NewBranch" + QString::number(session.state().branchCounter));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Branch name:", this));
    layout->addWidget(txtBranchName_);
    layout->addLayout(okCancelRow(*this, "Cancel", [this] { apply(); }));
}

void frmBranch::apply() {
    const std::string name = txtBranchName_->text().toStdString();
    const TreeNode& parent = rename_ ? *node_.parent : node_;
    if (auto problem =
            branchNameProblem(session_.state(), parent, name, rename_ ? &node_ : nullptr)) {
        showMessage(*problem, kEditorCaption, MessageIcon::none, MessageButtons::ok, this);
        return;
    }
    const bool applied =
        rename_ ? session_.renameBranch(node_, name) : session_.addBranch(node_, name);
    if (applied)
        accept();
}

} // namespace vorn::editor
