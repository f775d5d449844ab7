// The about box: the server's icon, product line and version, the maker's details, a logo
// and an OK button.
#pragma once

#include "config/ServerProfile.h"

#include <QDialog>

namespace vorn::ui {

class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(ServerKind kind, QWidget* parent = nullptr);
};

} // namespace vorn::ui
