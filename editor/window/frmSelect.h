// The server-kind dialog of a new configuration: Modbus TCP/IP (Tarnvale) or serial RTU
// (Rennick). Shown modally; closing it without "Ok" chooses nothing.
#pragma once

#include <QDialog>
#include <optional>
#include <string>

class QRadioButton;

namespace vorn::editor {

class frmSelect : public QDialog {
    Q_OBJECT

public:
    explicit frmSelect(QWidget* parent = nullptr);
    // Shows the dialog; the kind chosen with "Ok", none when it was closed.
    static std::optional<std::string> chooseServerKind(QWidget* parent);
    std::string serverKind() const;

private:
    QRadioButton* optTcpip_;
    QRadioButton* optRTU_;
};

} // namespace vorn::editor
