#include "frmModBus.h"

#include "DialogButtons.h"
#include "editor/EditorError.h"
#include "editor/EditorSession.h"
#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace vorn::editor {
namespace {

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

} // namespace

frmModBus::frmModBus(EditorSession& session, const std::string& editedName, QWidget* parent)
    : QDialog(parent), session_(session), editing_(!editedName.empty()) {
    setObjectName("frmModBus");
    setWindowTitle("ModBus Data Type Properties");
    setModal(true);
    cmbMBType_ = new QComboBox(this);
    cmbMBType_->setObjectName("cmbMBType");
    for (const std::string& kind : modbusTypeKinds())
        cmbMBType_->addItem(text(kind));
    txtReadCode_ = new QLineEdit(this);
    txtReadCode_->setObjectName("txtReadCode");
    txtWriteCode_ = new QLineEdit(this);
    txtWriteCode_->setObjectName("txtWriteCode");
    chkSingle_ = new QCheckBox("Single Write Function Code", this);
    chkSingle_->setObjectName("chkSingle");
    txtSingleCode_ = new QLineEdit(this);
    txtSingleCode_->setObjectName("txtSingleCode");

    auto* form = new QFormLayout;
    form->addRow("Mod Bus Data Type", cmbMBType_);
    form->addRow("Read function Code", txtReadCode_);
    form->addRow("Write Function Code", txtWriteCode_);
    form->addRow(chkSingle_, txtSingleCode_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Enter ModBus data Type properties:", this));
    layout->addLayout(form);
    layout->addLayout(okCancelRow(*this, "Exit", [this] { apply(); }));

    connect(chkSingle_, &QCheckBox::toggled, this, [this](bool ticked) { singleToggled(ticked); });

    if (const auto type = session.state().modbusTypes.find(editedName)) {
        present(fieldsOf(*type));
        // The kind is the type's key: it cannot change while the type is edited.
        cmbMBType_->setEnabled(false);
    } else {
        cmbMBType_->setCurrentIndex(-1);
        present(ModbusTypeFields{});
        txtReadCode_->setEnabled(true);
    }
    connect(cmbMBType_, &QComboBox::textActivated, this,
            [this](const QString& kind) { kindPicked(kind); });
}

ModbusTypeFields frmModBus::fields() const {
    ModbusTypeFields fields;
    fields.kind = cmbMBType_->currentText().toStdString();
    fields.readCode = txtReadCode_->text().toStdString();
    fields.writeCode = txtWriteCode_->text().toStdString();
    fields.single = chkSingle_->isChecked();
    fields.singleCode = txtSingleCode_->text().toStdString();
    fields.writeEnabled = txtWriteCode_->isEnabled();
    fields.singleEnabled = chkSingle_->isEnabled();
    return fields;
}

void frmModBus::present(const ModbusTypeFields& fields) {
    const QSignalBlocker quiet(chkSingle_);
    if (!fields.kind.empty())
        cmbMBType_->setCurrentText(text(fields.kind));
    txtReadCode_->setText(text(fields.readCode));
    txtWriteCode_->setText(text(fields.writeCode));
    txtWriteCode_->setEnabled(fields.writeEnabled);
    chkSingle_->setChecked(fields.single);
    chkSingle_->setEnabled(fields.singleEnabled);
    txtSingleCode_->setText(text(fields.singleCode));
    txtSingleCode_->setEnabled(fields.singleEnabled && fields.single);
}

void frmModBus::kindPicked(const QString& kind) {
    present(fieldsForKind(kind.toStdString()));
}

void frmModBus::singleToggled(bool ticked) {
    ModbusTypeFields current = fields();
    setSingleWrite(current, ticked);
    present(current);
}

void frmModBus::apply() {
    const ModbusTypeFields entered = fields();
    if (auto problem = modbusTypeFieldsProblem(entered, session_.state(), editing_)) {
        showMessage(*problem, kEditorCaption, MessageIcon::none, MessageButtons::ok, this);
        return;
    }
    auto type = modbusTypeFromFields(entered);
    const bool applied = editing_ ? session_.replaceModbusType(type) : session_.addModbusType(type);
    if (applied)
        accept();
}

} // namespace vorn::editor
