// The unit dialog ("Unit Properties"): a new unit, or the settings of one, for either server
// kind; the controls of the other kind are shown disabled. The checks run on "Ok", the first
// failing one is shown and the dialog stays open.
#pragma once

#include "editor/DeviceForm.h"

#include <QDialog>

class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;

namespace vorn::editor {

class EditorSession;
struct TreeNode;

class frmPLC : public QDialog {
    Q_OBJECT

public:
    // `edited` is the unit's node, null for a new unit.
    frmPLC(EditorSession& session, TreeNode* edited, QWidget* parent = nullptr);
    DeviceFields fields() const;
    void setFields(const DeviceFields& fields);

private:
    void apply();        // cmdOk: check, then add or replace
    void editAdvanced(); // cmdAdvanced: the frmAdvanced dialog
    QLineEdit* addLine(const char* label, const char* name, bool used);
    QComboBox* addChoice(const char* label, const char* name, const std::vector<std::string>& items,
                         bool editable, bool used);

    EditorSession& session_;
    TreeNode* edited_;
    std::string serverKind_;
    QFormLayout* form_;
    QLineEdit* txtName_;
    QLineEdit* txtAddress_;
    QLineEdit* txtTcpPort_;
    QLineEdit* txtUI_;
    QLineEdit* txtPort_;
    QComboBox* cmbDevice_; // the device of the port, kept in the registry
    QComboBox* cmbBaud_;
    QComboBox* cmbParity_;
    QComboBox* cmbData_;
    QComboBox* cmbStop_;
    QComboBox* cmbFlow_;
    QLineEdit* txtTimeout_;
    QLineEdit* txtSilent_;
    QComboBox* cmbByteOrder_;
    DeviceAdvanced advanced_; // as the Advanced dialog left it
};

} // namespace vorn::editor
