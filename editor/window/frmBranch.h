// The branch dialog ("Branch Name"): names a new branch below the selected unit or branch
// ("NewBranch" and the branch counter proposed), or renames the selected branch.
#pragma once

#include <QDialog>

class QLineEdit;

namespace vorn::editor {

class EditorSession;
struct TreeNode;

class frmBranch : public QDialog {
    Q_OBJECT

public:
    // Renames `node` when `rename`, else adds a branch below it.
    frmBranch(EditorSession& session, TreeNode& node, bool rename, QWidget* parent = nullptr);
    QLineEdit* nameText() const { return txtBranchName_; }

private:
    void apply(); // cmdOk_Click

    EditorSession& session_;
    TreeNode& node_;
    bool rename_;
    QLineEdit* txtBranchName_;
};

} // namespace vorn::editor
