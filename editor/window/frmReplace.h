// The replace confirmation ("Replace Text"): the grid Grid1 shows each selected item's name or
// comment, "<---" and the value that would replace it; "YES" (Command2) confirms, "NO"
// (Command1) or closing the dialog declines.
#pragma once

#include "editor/ClipboardCommands.h"

#include <QDialog>

class QPushButton;
class QTableWidget;

namespace vorn::editor {

class frmReplace : public QDialog {
    Q_OBJECT

public:
    explicit frmReplace(QWidget* parent = nullptr);

    // Fills Grid1: the header row for the plan's field, then one row per item.
    void fill(const ReplacePlan& plan);
    bool replaceConfirmed() const { return replaceConfirmed_; }

    QTableWidget* grid() const { return Grid1_; }
    QPushButton* yesButton() const { return Command2_; }
    QPushButton* noButton() const { return Command1_; }

private:
    QTableWidget* Grid1_;
    QPushButton* Command2_;
    QPushButton* Command1_;
    bool replaceConfirmed_ = false;
};

// The main window's replace confirmation: frmReplace, modal over `owner`.
class ReplaceDialogConfirmation : public ReplaceConfirmation {
public:
    explicit ReplaceDialogConfirmation(QWidget* owner) : owner_(owner) {}
    bool confirmReplace(const ReplacePlan& plan) override;

private:
    QWidget* owner_;
};

} // namespace vorn::editor
