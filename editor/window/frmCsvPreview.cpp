#include "frmCsvPreview.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace vorn::editor {
namespace {

// The plan's rows as the table shows them; texts are made when a cell is drawn, so a file of
// ten thousand rows opens at once.
class RowsModel : public QAbstractTableModel {
public:
    RowsModel(const TagCsvPlan& plan, QObject* parent)
        : QAbstractTableModel(parent), plan_(plan), order_(previewOrder(plan)) {}

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(order_.size());
    }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 4; }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        const RowPreview row = previewOf(plan_.rows[order_[static_cast<size_t>(index.row())]]);
        const std::string* cells[] = {&row.row, &row.result, &row.column, &row.detail};
        return QString::fromStdString(*cells[index.column()]);
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
            return {};
        static const char* const captions[] = {"Row", "Result", "Column", "Reason or item"};
        return QString(captions[section]);
    }

private:
    const TagCsvPlan& plan_;
    std::vector<size_t> order_;
};

} // namespace

frmCsvPreview::frmCsvPreview(const TagCsvPlan& plan, QWidget* parent) : QDialog(parent) {
    setObjectName("frmCsvPreview");
    setWindowTitle("Import Tags from CSV");
    setModal(true);
    resize(760, 420);

    lblSummary_ = new QLabel(QString::fromStdString(planSummary(plan)), this);
    lblSummary_->setObjectName("lblSummary");
    lblSummary_->setWordWrap(true);

    grdRows_ = new QTableView(this);
    grdRows_->setObjectName("grdRows");
    grdRows_->setModel(new RowsModel(plan, grdRows_));
    grdRows_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdRows_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdRows_->verticalHeader()->hide();
    grdRows_->horizontalHeader()->setStretchLastSection(true);
    grdRows_->setColumnWidth(0, 80);
    grdRows_->setColumnWidth(1, 220);
    grdRows_->setColumnWidth(2, 90);

    cmdImport_ = new QPushButton("Import the good rows", this);
    cmdImport_->setObjectName("cmdImport");
    cmdImport_->setEnabled(plan.additions + plan.replacements > 0);
    cmdCancel_ = new QPushButton("Cancel", this);
    cmdCancel_->setObjectName("cmdCancel");
    cmdCancel_->setDefault(true);
    connect(cmdImport_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdImport_);
    buttons->addWidget(cmdCancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSummary_);
    layout->addWidget(grdRows_);
    layout->addLayout(buttons);
}

} // namespace vorn::editor
