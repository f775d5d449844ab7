// The Modbus type dialog ("ModBus Data Type Properties"): a new type with the standard codes
// of the kind picked, or the codes of an existing type, whose kind is then fixed.
#pragma once

#include "editor/ModbusTypeForm.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace vorn::editor {

class EditorSession;

class frmModBus : public QDialog {
    Q_OBJECT

public:
    // `editedName` names the type being edited; empty for a new type.
    frmModBus(EditorSession& session, const std::string& editedName, QWidget* parent = nullptr);
    ModbusTypeFields fields() const;

private:
    void present(const ModbusTypeFields& fields);
    void kindPicked(const QString& kind);
    void singleToggled(bool ticked);
    void apply(); // cmdOk

    EditorSession& session_;
    bool editing_;
    QComboBox* cmbMBType_;
    QLineEdit* txtReadCode_;
    QLineEdit* txtWriteCode_;
    QCheckBox* chkSingle_;
    QLineEdit* txtSingleCode_;
};

} // namespace vorn::editor
