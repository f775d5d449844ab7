#include "frmAbout.h"

#include "EditorImages.h"
#include "editor/ProductInfo.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vorn::editor {
namespace {

QLabel* label(const std::string& text, const char* name, QWidget* parent) {
    auto* shown = new QLabel(QString::fromStdString(text), parent);
    shown->setObjectName(name);
    return shown;
}

} // namespace

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName("frmAbout");
    setWindowTitle(QString("About ") + kProductName);
    setModal(false);

    auto* picture = new QLabel(this);
    picture->setObjectName("picIcon");
    picture->setPixmap(treeImage("config").pixmap(48, 48));

    auto* title = label(std::string(kCompanyName) + " " + kProductName, "lblTitle", this);
    QFont bigger = title->font();
    bigger.setPointSizeF(bigger.pointSizeF() * 1.4);
    bigger.setBold(true);
    title->setFont(bigger);
    std::string contact;
    for (const std::string& line : makerContactLines())
        contact += (contact.empty() ? "" : "\n") + line;

    auto* texts = new QVBoxLayout;
    texts->addWidget(title);
    texts->addWidget(label("Version " + productVersion(), "lblVersion", this));
    texts->addWidget(label(kFileDescription, "lblDescription", this));
    texts->addSpacing(8);
    texts->addWidget(label(contact, "lblContact", this));

    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addLayout(texts, 1);

    auto* cmdOk = new QPushButton("OK", this);
    cmdOk->setObjectName("cmdOk");
    cmdOk->setDefault(true);
    connect(cmdOk, &QPushButton::clicked, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(cmdOk, 0, Qt::AlignRight);
}

} // namespace vorn::editor
