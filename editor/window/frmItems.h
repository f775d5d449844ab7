// The item dialog ("Item Properties"): adds items below the selected unit or branch, one at a
// time, one after the other with advancing names and addresses, or as a group; or modifies an
// item, staying open on it until "Exit".
#pragma once

#include "editor/ItemEdits.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vorn::editor {

struct EditorState;
struct TreeNode;

class frmItems : public QDialog {
    Q_OBJECT

public:
    // Modifies the item of `itemNode`; adds below the tree's selected node when it is null.
    // `changed` runs after each addition or modification, so the tree behind can show it.
    frmItems(EditorState& state, TreeNode* itemNode, std::function<void()> changed,
             QWidget* parent = nullptr);
    ItemFields fields() const;
    const ItemEdits& edits() const { return edits_; }

private:
    QLineEdit* addLine(const char* name);
    QComboBox* addChoice(const char* name, bool editable);
    void present(const ItemFields& fields);
    void modbusTypePicked(int index);
    void modbusTypeTyped(const QString& text);
    void dataTypePicked(int index);
    void confirm();         // cmdOk_Click
    void addAndIncrement(); // cmdAdd_Click
    void showGroupPanel();  // cmdGroup_Click
    void addGroup();        // cmdOkNumber_Click
    void closeGroupPanel();

    ItemEdits edits_;
    std::function<void()> changed_;
    QFrame* fraMain_;
    QLineEdit* txtItemName_;
    QLineEdit* txtComment_;
    QLineEdit* txtAddress_;
    QComboBox* cmbModbusType_;
    QComboBox* cmbDataType_;
    QComboBox* cmbBit_;
    QLabel* lblBit_;
    QLineEdit* txtElements_;
    QLabel* lblElements_;
    QComboBox* cmbAccessRight_;
    QComboBox* cmbByteOrder_;
    QLabel* lblByteOrder_;
    QGroupBox* fraScaling_;
    QLineEdit* txtRawLow_;
    QLineEdit* txtRawHigh_;
    QLineEdit* txtEuLow_;
    QLineEdit* txtEuHigh_;
    QLineEdit* txtUnits_;
    QPushButton* cmdOk_;
    QPushButton* cmdAdd_;
    QPushButton* cmdGroup_;
    QPushButton* cmdCancel_;
    QFrame* fraGroup_;
    QLineEdit* txtNumbItems_;
    QPushButton* cmdOkNumber_;
};

} // namespace vorn::editor
