// The find dialog: selects tree nodes by the beginning of their text. Modeless, so the user
// keeps searching while working in the main window; every node it finds is selected as a
// click would select it, with the enabling that follows.
#pragma once

#include <QDialog>
#include <functional>

class QLineEdit;

namespace vorn::editor {

class EditorSession;
struct TreeNode;

class frmFind : public QDialog {
    Q_OBJECT

public:
    // `select` makes a found node the tree's selected node, as a click does.
    frmFind(EditorSession& session, std::function<void(TreeNode&)> select,
            QWidget* parent = nullptr);
    QLineEdit* searchText() const { return txtFind_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void find();     // cmdFind_Click
    void findNext(); // cmdNext_Click
    void selectMatch(int skip);

    EditorSession& session_;
    std::function<void(TreeNode&)> select_;
    QLineEdit* txtFind_;
    int skip_ = 0;
};

} // namespace vorn::editor
