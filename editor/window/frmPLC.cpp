#include "frmPLC.h"

#include "DialogButtons.h"
#include "editor/ByteOrderChoices.h"
#include "editor/EditorError.h"
#include "editor/EditorSession.h"
#include "fileformat/ConfigFormat.h"
#include "frmAdvanced.h"
#include "platform/MessageBox.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

namespace vorn::editor {
namespace {

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

void setChoice(QComboBox* box, const std::string& value) {
    int index = box->findText(text(value));
    if (index < 0 && !box->isEditable() && !value.empty()) {
        // A setting the file holds that the list lacks (4800 baud) is offered as well, so
        // that OK keeps it instead of the list's first entry.
        box->addItem(text(value));
        index = box->count() - 1;
    }
    if (index >= 0)
        box->setCurrentIndex(index);
    else if (box->isEditable())
        box->setEditText(text(value));
}

// The serial devices of this machine, stable names first, offered for a port's device.
std::vector<std::string> serialDevicesHere() {
    namespace fs = std::filesystem;
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/dev/serial/by-id", ec))
        found.push_back(entry.path().string());
    std::vector<std::string> ttys;
    for (const auto& entry : fs::directory_iterator("/dev", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0)
            ttys.push_back(entry.path().string());
    }
    std::sort(found.begin(), found.end());
    std::sort(ttys.begin(), ttys.end());
    found.insert(found.end(), ttys.begin(), ttys.end());
    return found;
}

} // namespace

frmPLC::frmPLC(EditorSession& session, TreeNode* edited, QWidget* parent)
    : QDialog(parent), session_(session), edited_(edited), serverKind_(session.state().serverKind) {
    setObjectName("frmPLC");
    setWindowTitle("Unit Properties");
    setModal(true);
    const bool tcp = serverKind_ != format::kRennickName;
    form_ = new QFormLayout;
    txtName_ = addLine("Unit Name", "txtName", true);
    txtAddress_ = addLine("IP Address", "txtAddress", tcp);
    txtTcpPort_ = addLine("TCP Port", "txtTcpPort", tcp);
    txtUI_ = addLine("ModBus Unit Identifier", "txtUI", true);
    txtPort_ = addLine("Port Name (COMx)", "txtPort", !tcp);
    cmbDevice_ = addChoice("Device path", "cmbDevice", serialDevicesHere(), true, !tcp);
    // The device shown is the one the port stands for now, until the user picks another.
    connect(txtPort_, &QLineEdit::textEdited, this, [this](const QString& port) {
        cmbDevice_->setEditText(text(session_.serialDevice(port.toStdString())));
    });
    cmbBaud_ = addChoice("Baud rate (b/s)", "cmbBaud", baudChoices(), false, !tcp);
    cmbParity_ = addChoice("Parity", "cmbParity", parityChoices(), false, !tcp);
    // Data and stop bits side by side, both accepting typed text.
    cmbData_ = new QComboBox(this);
    cmbStop_ = new QComboBox(this);
    for (auto [box, name, items] : {std::tuple{cmbData_, "cmbData", &dataBitsChoices()},
                                    std::tuple{cmbStop_, "cmbStop", &stopBitsChoices()}}) {
        box->setObjectName(name);
        box->setEditable(true);
        for (const std::string& item : *items)
            box->addItem(text(item));
        box->setEnabled(!tcp);
    }
    auto* bits = new QHBoxLayout;
    bits->addWidget(cmbData_);
    bits->addWidget(cmbStop_);
    auto* bitsLabel = new QLabel("Data e Stop bits", this);
    bitsLabel->setEnabled(!tcp);
    form_->addRow(bitsLabel, bits);
    cmbFlow_ = addChoice("Flow Control", "cmbFlow", flowChoices(), false, !tcp);
    txtTimeout_ = addLine("Communication Timeout (ms)", "txtTimeout", true);
    txtSilent_ = addLine("Silent interval (ms)", "txtSilent", !tcp);
    cmbByteOrder_ = addChoice("Byte Order", "cmbByteOrder", byteOrderChoices(false), false, true);
    auto* advanced = new QPushButton("Advanced...", this);
    advanced->setObjectName("cmdAdvanced");
    advanced->setAutoDefault(false);
    connect(advanced, &QPushButton::clicked, this, [this] { editAdvanced(); });
    form_->addRow(advanced);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form_);
    layout->addLayout(okCancelRow(*this, "Quit", [this] { apply(); }));

    const clsPLC* device = edited ? session.state().devices.find(edited->key).get() : nullptr;
    setFields(device ? fieldsOf(*device, serverKind_)
                     : newDeviceFields(serverKind_, session.state().deviceCounter));
}

QLineEdit* frmPLC::addLine(const char* label, const char* name, bool used) {
    auto* line = new QLineEdit(this);
    line->setObjectName(name);
    auto* caption = new QLabel(label, this);
    caption->setEnabled(used);
    line->setEnabled(used);
    form_->addRow(caption, line);
    return line;
}

QComboBox* frmPLC::addChoice(const char* label, const char* name,
                             const std::vector<std::string>& items, bool editable, bool used) {
    auto* box = new QComboBox(this);
    box->setObjectName(name);
    box->setEditable(editable);
    for (const std::string& item : items)
        box->addItem(text(item));
    auto* caption = new QLabel(label, this);
    caption->setEnabled(used);
    box->setEnabled(used);
    form_->addRow(caption, box);
    return box;
}

DeviceFields frmPLC::fields() const {
    DeviceFields fields;
    fields.name = txtName_->text().toStdString();
    fields.ui = txtUI_->text().toStdString();
    fields.timeout = txtTimeout_->text().toStdString();
    fields.byteOrder = cmbByteOrder_->currentText().toStdString();
    fields.advanced = advanced_;
    if (serverKind_ == format::kRennickName) {
        fields.com = txtPort_->text().toStdString();
        fields.baud = cmbBaud_->currentText().toStdString();
        fields.parity = cmbParity_->currentText().toStdString();
        fields.dataBits = cmbData_->currentText().toStdString();
        fields.stopBits = cmbStop_->currentText().toStdString();
        fields.flow = cmbFlow_->currentText().toStdString();
        fields.silent = txtSilent_->text().toStdString();
        fields.device = cmbDevice_->currentText().toStdString();
    } else {
        fields.address = txtAddress_->text().toStdString();
        fields.tcpPort = txtTcpPort_->text().toStdString();
    }
    return fields;
}

void frmPLC::setFields(const DeviceFields& fields) {
    txtName_->setText(text(fields.name));
    txtUI_->setText(text(fields.ui));
    txtTimeout_->setText(text(fields.timeout));
    txtAddress_->setText(text(fields.address));
    txtTcpPort_->setText(text(fields.tcpPort));
    txtPort_->setText(text(fields.com));
    txtSilent_->setText(text(fields.silent));
    setChoice(cmbBaud_, fields.baud);
    setChoice(cmbParity_, fields.parity);
    setChoice(cmbData_, fields.dataBits);
    setChoice(cmbStop_, fields.stopBits);
    setChoice(cmbFlow_, fields.flow);
    const bool serial = serverKind_ == format::kRennickName;
    setChoice(cmbDevice_,
              fields.device.empty() && serial ? session_.serialDevice(fields.com) : fields.device);
    setChoice(cmbByteOrder_, fields.byteOrder);
    advanced_ = fields.advanced;
}

void frmPLC::editAdvanced() {
    frmAdvanced dialog(advanced_, serverKind_, this);
    if (dialog.exec() == QDialog::Accepted)
        advanced_ = dialog.settings();
}

void frmPLC::apply() {
    const DeviceFields entered = fields();
    const clsPLC* device = edited_ ? session_.state().devices.find(edited_->key).get() : nullptr;
    if (auto problem = deviceFieldsProblem(entered, serverKind_, session_.state(), device)) {
        showMessage(*problem, kEditorCaption, MessageIcon::none, MessageButtons::ok, this);
        return;
    }
    auto made = deviceFromFields(entered, serverKind_);
    const bool applied =
        edited_ ? session_.replaceDevice(*edited_, made) : session_.addDevice(made);
    if (!applied)
        return;
    if (serverKind_ == format::kRennickName)
        session_.chooseSerialDevice(entered.com, entered.device);
    accept();
}

} // namespace vorn::editor
