// The preview of a tag list import ("Import Tags from CSV"): a summary, then a row per line of
// the file with its result (refused rows first, with the row number, the column and the
// reason), and two buttons: "Import the good rows" (cmdImport) and "Cancel" (cmdCancel). The
// dialog only shows the plan; the main window applies it when the user goes on.
#pragma once

#include "editor/TagCsvImport.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableView;

namespace vorn::editor {

class frmCsvPreview : public QDialog {
    Q_OBJECT

public:
    frmCsvPreview(const TagCsvPlan& plan, QWidget* parent = nullptr);

    QTableView* rows() const { return grdRows_; }
    QLabel* summary() const { return lblSummary_; }
    QPushButton* importButton() const { return cmdImport_; }

private:
    QLabel* lblSummary_;
    QTableView* grdRows_;
    QPushButton* cmdImport_;
    QPushButton* cmdCancel_;
};

} // namespace vorn::editor
