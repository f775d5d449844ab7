// Dragging tree nodes with the right mouse button: pressing it on a node makes that node the
// drag source (Ctrl held: copy, else move), the node under the pointer is highlighted as the
// drop target, and the drop is handed to the window's drop handler.
#pragma once

#include <QObject>
#include <QPoint>
#include <functional>

class QTreeWidget;
class QTreeWidgetItem;

namespace vorn::editor {

struct TreeNode;

class TreeDragDrop : public QObject {
    Q_OBJECT

public:
    using NodeOf = std::function<TreeNode*(const QTreeWidgetItem*)>;
    using DropHandler = std::function<void(TreeNode& source, TreeNode& target, bool copy)>;

    TreeDragDrop(QTreeWidget& tree, NodeOf nodeOf, DropHandler onDrop);

    // The drag in progress, for the window's tests: its source (null when none) and whether it
    // copies; the highlighted drop target (null when none).
    TreeNode* source() const { return source_; }
    bool copies() const { return copy_; }
    QTreeWidgetItem* dropTarget() const { return highlighted_; }

    // The MIME type a dragged node travels as; the data is its key.
    static const char* const kMimeType;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The tree's items are about to be rebuilt or removed: the drag and the highlight end.
    void forget();
    void startDrag();
    void highlight(QTreeWidgetItem* item);
    QTreeWidgetItem* itemAt(const QPoint& position) const;

    QTreeWidget& tree_;
    QWidget* viewport_; // kept: the tree is no scroll area any more while it is destroyed
    NodeOf nodeOf_;
    DropHandler onDrop_;
    TreeNode* source_ = nullptr;
    bool copy_ = false;
    QPoint pressedAt_;
    QTreeWidgetItem* highlighted_ = nullptr;
    int generation_ = 0; // counts forget(): a queued drop from before a rebuild is dropped
};

} // namespace vorn::editor
