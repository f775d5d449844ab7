#include "frmReplace.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace vorn::editor {
namespace {

// Column widths in twips (1/1440 inch): value, arrow, new value.
constexpr int kColumnTwips[] = {3000, 400, 3000};
constexpr int kTwipsPerInch = 1440;
constexpr int kMaxShownRows = 15;
const char* const kArrow = "<---";

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

QTableWidgetItem* cell(const QString& value) {
    auto* item = new QTableWidgetItem(value);
    item->setFlags(Qt::ItemIsEnabled);
    return item;
}

} // namespace

frmReplace::frmReplace(QWidget* parent) : QDialog(parent) {
    setObjectName("frmReplace");
    setWindowTitle("Replace Text");
    setModal(true);
    Grid1_ = new QTableWidget(0, 3, this);
    Grid1_->setObjectName("Grid1");
    Grid1_->verticalHeader()->hide();
    Grid1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1_->setSelectionMode(QAbstractItemView::NoSelection);
    Grid1_->setWordWrap(false);
    Grid1_->setFocusPolicy(Qt::NoFocus);
    const int dpi = logicalDpiX();
    int gridWidth = 2 * Grid1_->frameWidth();
    for (int column = 0; column < 3; ++column) {
        int width = (kColumnTwips[column] * dpi + kTwipsPerInch / 2) / kTwipsPerInch;
        // The arrow stays readable whatever the font: the cells have margins a grid of the
        // original size did not.
        if (column == 1)
            width = std::max(width, Grid1_->fontMetrics().horizontalAdvance(kArrow) + 16);
        Grid1_->setColumnWidth(column, width);
        gridWidth += width;
    }
    Grid1_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Grid1_->setMinimumWidth(gridWidth + Grid1_->verticalScrollBar()->sizeHint().width());

    Command2_ = new QPushButton("YES", this);
    Command2_->setObjectName("Command2");
    Command1_ = new QPushButton("NO", this);
    Command1_->setObjectName("Command1");
    Command1_->setDefault(true);
    connect(Command2_, &QPushButton::clicked, this, [this] {
        replaceConfirmed_ = true;
        accept();
    });
    connect(Command1_, &QPushButton::clicked, this, [this] {
        replaceConfirmed_ = false;
        reject();
    });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command2_);
    buttons->addWidget(Command1_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Grid1_);
    layout->addLayout(buttons);
}

void frmReplace::fill(const ReplacePlan& plan) {
    const auto [current, replacement] = replaceHeaders(plan.field);
    Grid1_->setHorizontalHeaderLabels({text(current), QString(), text(replacement)});
    Grid1_->setRowCount(static_cast<int>(plan.rows.size()));
    for (int row = 0; row < static_cast<int>(plan.rows.size()); ++row) {
        Grid1_->setItem(row, 0, cell(text(plan.rows[row].current)));
        QTableWidgetItem* arrow = cell(kArrow);
        arrow->setTextAlignment(Qt::AlignCenter);
        Grid1_->setItem(row, 1, arrow);
        Grid1_->setItem(row, 2, cell(text(plan.rows[row].replacement)));
    }
    // Every row while there are few; more scroll.
    const int shown = std::min<int>(std::max<int>(Grid1_->rowCount(), 1), kMaxShownRows);
    Grid1_->setMinimumHeight(Grid1_->horizontalHeader()->sizeHint().height() +
                             shown * Grid1_->verticalHeader()->defaultSectionSize() +
                             2 * Grid1_->frameWidth());
    // A short list gets no empty space below it; a long one may be enlarged with the dialog.
    if (Grid1_->rowCount() <= kMaxShownRows)
        Grid1_->setMaximumHeight(Grid1_->minimumHeight());
    adjustSize();
}

bool ReplaceDialogConfirmation::confirmReplace(const ReplacePlan& plan) {
    frmReplace dialog(owner_);
    dialog.fill(plan);
    dialog.exec();
    return dialog.replaceConfirmed();
}

} // namespace vorn::editor
