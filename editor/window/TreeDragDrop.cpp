#include "TreeDragDrop.h"

#include "editor/NodeTree.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTreeWidget>

namespace vorn::editor {

const char* const TreeDragDrop::kMimeType = "application/x-quillmar-node";

TreeDragDrop::TreeDragDrop(QTreeWidget& tree, NodeOf nodeOf, DropHandler onDrop)
    : QObject(&tree), tree_(tree), viewport_(tree.viewport()), nodeOf_(std::move(nodeOf)),
      onDrop_(std::move(onDrop)) {
    tree_.setAcceptDrops(true);
    viewport_->setAcceptDrops(true);
    viewport_->installEventFilter(this);
    connect(tree_.model(), &QAbstractItemModel::modelAboutToBeReset, this, [this] { forget(); });
    connect(tree_.model(), &QAbstractItemModel::rowsAboutToBeRemoved, this, [this] { forget(); });
}

void TreeDragDrop::forget() {
    highlight(nullptr);
    source_ = nullptr;
    ++generation_;
}

QTreeWidgetItem* TreeDragDrop::itemAt(const QPoint& position) const {
    return tree_.itemAt(position);
}

bool TreeDragDrop::eventFilter(QObject* watched, QEvent* event) {
    if (watched != viewport_)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::RightButton)
            return false;
        QTreeWidgetItem* item = itemAt(mouse->position().toPoint());
        source_ = item ? nodeOf_(item) : nullptr;
        copy_ = mouse->modifiers().testFlag(Qt::ControlModifier);
        pressedAt_ = mouse->position().toPoint();
        return true; // the right button leaves the selection alone
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!source_ || !mouse->buttons().testFlag(Qt::RightButton))
            return false;
        if ((mouse->position().toPoint() - pressedAt_).manhattanLength() >=
            QApplication::startDragDistance())
            startDrag();
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() != Qt::RightButton)
            return false;
        source_ = nullptr;
        return true;
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!source_ || !drag->mimeData()->hasFormat(kMimeType)) {
            drag->ignore();
            return true;
        }
        highlight(itemAt(drag->position().toPoint()));
        drag->setDropAction(copy_ ? Qt::CopyAction : Qt::MoveAction);
        drag->accept();
        return true;
    }
    case QEvent::DragLeave:
        highlight(nullptr);
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        QTreeWidgetItem* item = itemAt(drop->position().toPoint());
        TreeNode* target = item ? nodeOf_(item) : nullptr;
        TreeNode* source = source_;
        const bool copy = copy_;
        highlight(nullptr);
        source_ = nullptr;
        if (!source || !target || !drop->mimeData()->hasFormat(kMimeType)) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(copy ? Qt::CopyAction : Qt::MoveAction);
        drop->accept();
        // Handled once the drag has ended: the handler may rebuild the tree and ask the user.
        QMetaObject::invokeMethod(
            this,
            [this, source, target, copy, generation = generation_] {
                if (generation == generation_)
                    onDrop_(*source, *target, copy);
            },
            Qt::QueuedConnection);
        return true;
    }
    default:
        return false;
    }
}

void TreeDragDrop::startDrag() {
    QTreeWidgetItem* item = nullptr;
    for (QTreeWidgetItemIterator it(&tree_); *it; ++it) {
        if (nodeOf_(*it) == source_) {
            item = *it;
            break;
        }
    }
    if (!item) {
        source_ = nullptr;
        return;
    }
    auto* mime = new QMimeData;
    mime->setData(kMimeType, QByteArray::fromStdString(source_->key));
    auto* drag = new QDrag(&tree_);
    drag->setMimeData(mime);
    drag->setPixmap(item->icon(0).pixmap(32, 32));
    drag->exec(copy_ ? Qt::CopyAction : Qt::MoveAction);
    highlight(nullptr);
    source_ = nullptr;
}

void TreeDragDrop::highlight(QTreeWidgetItem* item) {
    if (item == highlighted_)
        return;
    if (highlighted_) {
        highlighted_->setBackground(0, QBrush());
        highlighted_->setForeground(0, QBrush());
    }
    highlighted_ = item;
    if (item) {
        item->setBackground(0, tree_.palette().highlight());
        item->setForeground(0, tree_.palette().highlightedText());
    }
}

} // namespace vorn::editor
