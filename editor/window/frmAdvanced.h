// The unit dialog's "Advanced..." dialog ("Advanced Unit Settings"): a unit's read limits,
// reduced rate, pauses and backup address, one line each named as in the file. The checks run
// on "Ok" with the servers' ranges; the first failing one is shown and the dialog stays open.
#pragma once

#include "editor/DeviceAdvanced.h"

#include <QDialog>
#include <map>

class QLineEdit;

namespace vorn::editor {

class frmAdvanced : public QDialog {
    Q_OBJECT

public:
    frmAdvanced(const DeviceAdvanced& settings, const std::string& serverKind,
                QWidget* parent = nullptr);
    // The settings as accepted with "Ok".
    const DeviceAdvanced& settings() const { return settings_; }

private:
    void apply();

    DeviceAdvanced settings_;
    std::string serverKind_;
    std::map<std::string, QLineEdit*> lines_; // by the setting's name
};

} // namespace vorn::editor
