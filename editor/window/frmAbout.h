// The about box: product, version of the build, description and the maker's contact lines.
// Shown modeless; its OK button closes it.
#pragma once

#include <QDialog>

namespace vorn::editor {

class frmAbout : public QDialog {
    Q_OBJECT

public:
    explicit frmAbout(QWidget* parent = nullptr);
};

} // namespace vorn::editor
