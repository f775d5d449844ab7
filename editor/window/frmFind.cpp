#include "frmFind.h"

#include "EditorImages.h"
#include "editor/CommandHandler.h"
#include "editor/EditorSession.h"
#include "editor/FindNode.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vorn::editor {

frmFind::frmFind(EditorSession& session, std::function<void(TreeNode&)> select, QWidget* parent)
    : QDialog(parent), session_(session), select_(std::move(select)) {
    setObjectName("frmFind");
    setWindowTitle("Find Item");
    setModal(false);

    auto* picture = new QLabel(this);
    picture->setObjectName("picFind");
    picture->setPixmap(toolbarImage("find").pixmap(32, 32));
    auto* prompt = new QLabel("Type the name of the item to find", this);
    prompt->setObjectName("lblFind");
    txtFind_ = new QLineEdit(this);
    txtFind_->setObjectName("txtFind");
    auto* cmdFind = new QPushButton("Find", this);
    cmdFind->setObjectName("cmdFind");
    cmdFind->setDefault(true);
    auto* cmdNext = new QPushButton("Find Next", this);
    cmdNext->setObjectName("cmdNext");
    auto* cmdCancel = new QPushButton("Exit", this);
    cmdCancel->setObjectName("cmdCancel");
    connect(cmdFind, &QPushButton::clicked, this, [this] { find(); });
    connect(cmdNext, &QPushButton::clicked, this, [this] { findNext(); });
    // Escape rejects the dialog, which closes it like "Exit".
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::close);

    auto* layout = new QGridLayout(this);
    layout->addWidget(picture, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(prompt, 0, 1, 1, 3);
    layout->addWidget(txtFind_, 1, 1, 1, 3);
    layout->addWidget(cmdFind, 2, 1);
    layout->addWidget(cmdNext, 2, 2);
    layout->addWidget(cmdCancel, 2, 3);
}

void frmFind::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    txtFind_->setFocus();
}

void frmFind::find() {
    runHandler("cmdFind_Click", [this] { selectMatch(0); });
}

// "Find Next" counts on from the last search; "Find" does not rewind it.
void frmFind::findNext() {
    runHandler("cmdNext_Click", [this] { selectMatch(++skip_); });
}

void frmFind::selectMatch(int skip) {
    // While a file is imported the tree is not the user's to select in.
    if (session_.importing() || !session_.configurationShown())
        return;
    if (TreeNode* node = findNode(session_.state().tree, txtFind_->text().toStdString(), skip))
        select_(*node);
}

} // namespace vorn::editor
