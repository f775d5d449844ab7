#include "frmSelect.h"

#include "fileformat/ConfigFormat.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vorn::editor {

frmSelect::frmSelect(QWidget* parent) : QDialog(parent) {
    setObjectName("frmSelect");
    setWindowTitle("Select ModBus interface");
    setModal(true);
    auto* frame = new QGroupBox(this);
    frame->setObjectName("Frame1");
    optTcpip_ = new QRadioButton("ModBus Tcp/Ip", frame);
    optTcpip_->setObjectName("optTcpip");
    optRTU_ = new QRadioButton("ModBus Serial RTU", frame);
    optRTU_->setObjectName("optRTU");
    optTcpip_->setChecked(true);
    auto* options = new QVBoxLayout(frame);
    options->addWidget(optTcpip_);
    options->addWidget(optRTU_);

    auto* cmdOk = new QPushButton("Ok", this);
    cmdOk->setObjectName("cmdOk");
    cmdOk->setDefault(true);
    connect(cmdOk, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(cmdOk, 0, Qt::AlignRight);
}

std::string frmSelect::serverKind() const {
    return optRTU_->isChecked() ? format::kRennickName : format::kTarnvaleName;
}

std::optional<std::string> frmSelect::chooseServerKind(QWidget* parent) {
    frmSelect dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.serverKind();
}

} // namespace vorn::editor
