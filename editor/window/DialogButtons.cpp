#include "DialogButtons.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

namespace vorn::editor {

QHBoxLayout* okCancelRow(QDialog& dialog, const QString& cancelCaption,
                         std::function<void()> onOk) {
    auto* cmdOk = new QPushButton("Ok", &dialog);
    cmdOk->setObjectName("cmdOk");
    cmdOk->setDefault(true);
    auto* cmdCancel = new QPushButton(cancelCaption, &dialog);
    cmdCancel->setObjectName("cmdCancel");
    QObject::connect(cmdOk, &QPushButton::clicked, &dialog, std::move(onOk));
    QObject::connect(cmdCancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOk);
    buttons->addWidget(cmdCancel);
    return buttons;
}

} // namespace vorn::editor
