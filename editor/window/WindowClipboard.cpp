#include "WindowClipboard.h"

#include "ObjectListView.h"

#include <QApplication>
#include <QTreeWidget>

namespace vorn::editor {

WindowClipboard::WindowClipboard(EditorSession& session, QTreeWidget& tree, ObjectListView& list,
                                 TreeDragDrop::NodeOf nodeOf, QWidget* owner)
    : tree_(tree), list_(list), confirmation_(owner),
      commands_(session, systemClipboard_, confirmation_),
      dragDrop_(new TreeDragDrop(
          tree, std::move(nodeOf),
          [this](TreeNode& source, TreeNode& target, bool copy) { drop(source, target, copy); })) {}

// The commands act on the view the user was working in; menus and toolbar buttons do not take
// the focus from it.
ViewFocus WindowClipboard::focus() const {
    QWidget* focused = QApplication::focusWidget();
    if (focused && (focused == &list_ || list_.isAncestorOf(focused)))
        return ViewFocus::list;
    if (focused && (focused == &tree_ || tree_.isAncestorOf(focused)))
        return ViewFocus::tree;
    return ViewFocus::other;
}

void WindowClipboard::copy() {
    commands_.copy(focus(), list_.selectedKeys());
}

void WindowClipboard::cut() {
    commands_.cut(focus(), list_.selectedKeys());
}

void WindowClipboard::paste() {
    commands_.paste();
}

void WindowClipboard::pasteNames() {
    commands_.pasteNames(list_.selectedKeys());
}

void WindowClipboard::pasteComments() {
    commands_.pasteComments(list_.selectedKeys());
}

DropOutcome WindowClipboard::drop(TreeNode& source, TreeNode& target, bool copy) {
    return commands_.drop(source, target, copy);
}

} // namespace vorn::editor
