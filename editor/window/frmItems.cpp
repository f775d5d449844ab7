#include "frmItems.h"

#include "KeyFilterValidator.h"
#include "editor/ByteOrderChoices.h"
#include "editor/CommandHandler.h"
#include "editor/EditorError.h"
#include "editor/EditorState.h"
#include "editor/NameRules.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vorn::editor {
namespace {

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

QStringList texts(const std::vector<std::string>& values) {
    QStringList list;
    for (const std::string& value : values)
        list << text(value);
    return list;
}

std::vector<std::string> entries(const QComboBox& combo) {
    std::vector<std::string> all;
    for (int at = 0; at < combo.count(); ++at)
        all.push_back(combo.itemText(at).toStdString());
    return all;
}

// A fixed list shows `value` when it is one of its entries, nothing otherwise.
void choose(QComboBox& combo, const std::string& value) {
    combo.setCurrentIndex(value.empty() ? -1 : combo.findText(text(value)));
}

void refill(QComboBox& combo, const std::vector<std::string>& choices, const std::string& value) {
    combo.clear();
    combo.addItems(texts(choices));
    choose(combo, value);
}

// The hourglass while a group is added, restored however the handler ends.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

ItemEdits makeEdits(EditorState& state, TreeNode* itemNode) {
    return itemNode ? ItemEdits(state, *itemNode) : ItemEdits(state);
}

} // namespace

frmItems::frmItems(EditorState& state, TreeNode* itemNode, std::function<void()> changed,
                   QWidget* parent)
    : QDialog(parent), edits_(makeEdits(state, itemNode)), changed_(std::move(changed)) {
    setObjectName("frmItems");
    setWindowTitle("Item Properties");
    setModal(true);
    edits_.setOwner(this);

    fraMain_ = new QFrame(this);
    fraMain_->setObjectName("fraMain");
    fraMain_->setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout;
    auto addRow = [&](const char* caption, QWidget* field) {
        auto* label = new QLabel(caption, fraMain_);
        label->setBuddy(field);
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1);
        return label;
    };
    txtItemName_ = addLine("txtItemName");
    txtItemName_->setMaxLength(kItemNameMaxLength);
    txtItemName_->setValidator(new KeyFilterValidator(itemNameKeyFilter, txtItemName_));
    addRow("Item Name", txtItemName_);
    txtComment_ = addLine("txtComment");
    txtComment_->setMaxLength(kItemCommentMaxLength);
    addRow("Comment", txtComment_);
    txtAddress_ = addLine("txtAddress");
    txtAddress_->setValidator(new KeyFilterValidator(NumericKeyFilter, txtAddress_));
    addRow("Address", txtAddress_);
    cmbModbusType_ = addChoice("cmbModbusType", true);
    for (const auto& [name, type] : state.modbusTypes)
        cmbModbusType_->addItem(text(name));
    addRow("ModBus Type", cmbModbusType_);
    cmbDataType_ = addChoice("cmbDataType", false);
    addRow("Data Type", cmbDataType_);
    cmbBit_ = addChoice("cmbBit", false);
    cmbBit_->addItems(texts(bitChoices()));
    lblBit_ = addRow("Bit Number", cmbBit_);
    lblBit_->setObjectName("lblBit");
    txtElements_ = addLine("txtElements");
    txtElements_->setValidator(new KeyFilterValidator(NumericKeyFilter, txtElements_));
    lblElements_ = addRow("Number of Elements", txtElements_);
    lblElements_->setObjectName("lblElements");
    cmbAccessRight_ = addChoice("cmbAccessRight", false);
    addRow("Access Right", cmbAccessRight_);
    cmbByteOrder_ = addChoice("cmbByteOrder", false);
    cmbByteOrder_->addItems(texts(byteOrderChoices(true)));
    lblByteOrder_ = addRow("Byte Order", cmbByteOrder_);
    lblByteOrder_->setObjectName("lblByteOrder");

    // Raw register values mapped linearly onto engineering values, served as Double.
    fraScaling_ = new QGroupBox("Scaling to engineering units", fraMain_);
    fraScaling_->setObjectName("fraScaling");
    auto* scalingGrid = new QGridLayout(fraScaling_);
    auto addBound = [&](const char* caption, const char* name, int row, int column) {
        QLineEdit* line = addLine(name);
        line->setParent(fraScaling_);
        line->setValidator(new KeyFilterValidator(NumericKeyFilter, line));
        auto* label = new QLabel(caption, fraScaling_);
        label->setBuddy(line);
        scalingGrid->addWidget(label, row, column);
        scalingGrid->addWidget(line, row, column + 1);
        return line;
    };
    txtRawLow_ = addBound(format::kScalingBounds[0].title, "txtRawLow", 0, 0);
    txtRawHigh_ = addBound(format::kScalingBounds[1].title, "txtRawHigh", 0, 2);
    txtEuLow_ = addBound(format::kScalingBounds[2].title, "txtEuLow", 1, 0);
    txtEuHigh_ = addBound(format::kScalingBounds[3].title, "txtEuHigh", 1, 2);
    txtUnits_ = addLine("txtUnits");
    txtUnits_->setParent(fraScaling_);
    txtUnits_->setMaxLength(kItemUnitsMaxLength);
    auto* unitsLabel = new QLabel("Unit", fraScaling_);
    unitsLabel->setBuddy(txtUnits_);
    scalingGrid->addWidget(unitsLabel, 2, 0);
    scalingGrid->addWidget(txtUnits_, 2, 1);
    grid->addWidget(fraScaling_, grid->rowCount(), 0, 1, 2);

    const bool modifying = edits_.modifying();
    cmdOk_ = new QPushButton(modifying ? "Confirm Modify" : "Add and Exit", fraMain_);
    cmdOk_->setObjectName("cmdOk");
    cmdOk_->setDefault(true);
    cmdAdd_ = new QPushButton("Add and Increment", fraMain_);
    cmdAdd_->setObjectName("cmdAdd");
    cmdAdd_->setEnabled(!modifying);
    cmdGroup_ = new QPushButton("Add Group....", fraMain_);
    cmdGroup_->setObjectName("cmdGroup");
    cmdGroup_->setEnabled(!modifying);
    auto* mainButtons = new QVBoxLayout;
    mainButtons->addWidget(cmdOk_);
    mainButtons->addWidget(cmdAdd_);
    mainButtons->addWidget(cmdGroup_);
    mainButtons->addStretch();
    auto* mainLayout = new QHBoxLayout(fraMain_);
    mainLayout->addLayout(grid, 1);
    mainLayout->addLayout(mainButtons);

    fraGroup_ = new QFrame(this);
    fraGroup_->setObjectName("fraGroup");
    fraGroup_->setFrameShape(QFrame::StyledPanel);
    txtNumbItems_ = new QLineEdit("1", fraGroup_);
    txtNumbItems_->setObjectName("txtNumbItems");
    txtNumbItems_->setMaxLength(kGroupCountMaxLength);
    txtNumbItems_->setValidator(new KeyFilterValidator(NumericKeyFilter, txtNumbItems_));
    cmdOkNumber_ = new QPushButton("OK", fraGroup_);
    cmdOkNumber_->setObjectName("cmdOkNumber");
    auto* groupLayout = new QHBoxLayout(fraGroup_);
    groupLayout->addWidget(new QLabel("INSERT NUMBER OF ITEMS TO ADD", fraGroup_));
    groupLayout->addWidget(txtNumbItems_);
    groupLayout->addWidget(cmdOkNumber_);
    fraGroup_->hide();

    // Exit is outside the main frame: it stays usable while the group panel is shown.
    cmdCancel_ = new QPushButton("Exit", this);
    cmdCancel_->setObjectName("cmdCancel");
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(cmdCancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fraMain_);
    layout->addWidget(fraGroup_);
    layout->addLayout(bottom);

    present(edits_.initialFields());

    connect(cmbModbusType_, &QComboBox::currentIndexChanged, this,
            [this](int index) { modbusTypePicked(index); });
    // Picking the entry already shown again refills the lists after the text was typed over.
    connect(cmbModbusType_, &QComboBox::activated, this,
            [this](int index) { modbusTypePicked(index); });
    connect(cmbModbusType_->lineEdit(), &QLineEdit::textEdited, this,
            [this](const QString& typed) { modbusTypeTyped(typed); });
    connect(cmbDataType_, &QComboBox::currentIndexChanged, this,
            [this](int index) { dataTypePicked(index); });
    connect(cmdOk_, &QPushButton::clicked, this, [this] { confirm(); });
    connect(cmdAdd_, &QPushButton::clicked, this, [this] { addAndIncrement(); });
    connect(cmdGroup_, &QPushButton::clicked, this, [this] { showGroupPanel(); });
    connect(cmdOkNumber_, &QPushButton::clicked, this, [this] { addGroup(); });
    connect(cmdCancel_, &QPushButton::clicked, this,
            [this] { runHandler("cmdCancel_Click", [this] { reject(); }); });
    txtItemName_->setFocus();
}

QLineEdit* frmItems::addLine(const char* name) {
    auto* line = new QLineEdit(fraMain_);
    line->setObjectName(name);
    return line;
}

QComboBox* frmItems::addChoice(const char* name, bool editable) {
    auto* combo = new QComboBox(fraMain_);
    combo->setObjectName(name);
    combo->setEditable(editable);
    if (editable)
        combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setMinimumContentsLength(18);
    return combo;
}

ItemFields frmItems::fields() const {
    ItemFields fields;
    fields.name = txtItemName_->text().toStdString();
    fields.comment = txtComment_->text().toStdString();
    fields.address = txtAddress_->text().toStdString();
    fields.modbusType = cmbModbusType_->currentText().toStdString();
    fields.dataType = cmbDataType_->currentText().toStdString();
    fields.bit = cmbBit_->currentText().toStdString();
    fields.elements = txtElements_->text().toStdString();
    fields.accessRight = cmbAccessRight_->currentText().toStdString();
    fields.byteOrder = cmbByteOrder_->currentText().toStdString();
    fields.rawLow = txtRawLow_->text().toStdString();
    fields.rawHigh = txtRawHigh_->text().toStdString();
    fields.euLow = txtEuLow_->text().toStdString();
    fields.euHigh = txtEuHigh_->text().toStdString();
    fields.units = txtUnits_->text().toStdString();
    fields.dataTypeChoices = entries(*cmbDataType_);
    fields.accessRightChoices = entries(*cmbAccessRight_);
    fields.bitEnabled = cmbBit_->isEnabled();
    fields.elementsEnabled = txtElements_->isEnabled();
    fields.byteOrderEnabled = cmbByteOrder_->isEnabled();
    fields.scalingEnabled = fraScaling_->isEnabled();
    return fields;
}

void frmItems::present(const ItemFields& fields) {
    const QSignalBlocker quietType(cmbModbusType_);
    const QSignalBlocker quietData(cmbDataType_);
    setFilteredBoxText(*txtItemName_, text(fields.name));
    txtComment_->setText(text(fields.comment));
    setFilteredBoxText(*txtAddress_, text(fields.address));
    cmbModbusType_->setCurrentIndex(cmbModbusType_->findText(text(fields.modbusType)));
    cmbModbusType_->setEditText(text(fields.modbusType));
    refill(*cmbDataType_, fields.dataTypeChoices, fields.dataType);
    refill(*cmbAccessRight_, fields.accessRightChoices, fields.accessRight);
    choose(*cmbBit_, fields.bit);
    cmbBit_->setEnabled(fields.bitEnabled);
    lblBit_->setEnabled(fields.bitEnabled);
    setFilteredBoxText(*txtElements_, text(fields.elements));
    txtElements_->setEnabled(fields.elementsEnabled);
    lblElements_->setEnabled(fields.elementsEnabled);
    choose(*cmbByteOrder_, fields.byteOrder);
    cmbByteOrder_->setEnabled(fields.byteOrderEnabled);
    lblByteOrder_->setEnabled(fields.byteOrderEnabled);
    setFilteredBoxText(*txtRawLow_, text(fields.rawLow));
    setFilteredBoxText(*txtRawHigh_, text(fields.rawHigh));
    setFilteredBoxText(*txtEuLow_, text(fields.euLow));
    setFilteredBoxText(*txtEuHigh_, text(fields.euHigh));
    txtUnits_->setText(text(fields.units));
    fraScaling_->setEnabled(fields.scalingEnabled);
}

void frmItems::modbusTypePicked(int index) {
    if (index < 0)
        return;
    ItemFields current = fields();
    pickModbusType(current, cmbModbusType_->itemText(index).toStdString());
    present(current);
}

void frmItems::modbusTypeTyped(const QString& typed) {
    ItemFields current = fields();
    typeModbusType(current, typed.toStdString());
    const int cursor = cmbModbusType_->lineEdit()->cursorPosition();
    present(current);
    cmbModbusType_->lineEdit()->setCursorPosition(cursor);
}

void frmItems::dataTypePicked(int index) {
    if (index < 0)
        return;
    ItemFields current = fields();
    pickDataType(current, cmbDataType_->itemText(index).toStdString());
    present(current);
}

// "Add and Exit" closes after an addition; "Confirm Modify" stays open on the modified item.
void frmItems::confirm() {
    runHandler("cmdOk_Click", [this] {
        if (!edits_.AddItemToColl(fields()))
            return;
        if (changed_)
            changed_();
        if (edits_.mayClose())
            accept();
    });
}

void frmItems::addAndIncrement() {
    runHandler("cmdAdd_Click", [this] {
        ItemFields next = fields();
        if (!edits_.addAndIncrement(next))
            return;
        present(next);
        if (changed_)
            changed_();
    });
}

void frmItems::showGroupPanel() {
    runHandler("cmdGroup_Click", [this] {
        fraMain_->setEnabled(false);
        txtNumbItems_->setText("1");
        fraGroup_->show();
        cmdOkNumber_->setDefault(true);
        txtNumbItems_->setFocus();
        txtNumbItems_->selectAll();
    });
}

void frmItems::addGroup() {
    runHandler("cmdOkNumber_Click", [this] {
        ItemFields next = fields();
        int added = 0;
        bool counted = false;
        {
            const WaitCursor hourglass;
            counted = edits_.addGroup(next, txtNumbItems_->text().toStdString(), &added);
        }
        if (!counted)
            return; // the panel stays for another number
        closeGroupPanel();
        present(next);
        if (added > 0 && changed_)
            changed_();
    });
    // Whatever happened, a closed panel gives the main frame back.
    if (fraGroup_->isHidden())
        fraMain_->setEnabled(true);
}

void frmItems::closeGroupPanel() {
    fraGroup_->hide();
    cmdOk_->setDefault(true);
    fraMain_->setEnabled(true);
    txtItemName_->setFocus();
}

} // namespace vorn::editor
