#include "ObjectListView.h"

#include <QHeaderView>
#include <QListWidget>
#include <QTreeWidget>

namespace vorn::editor {
namespace {

constexpr int kKeyRole = Qt::UserRole;
constexpr int kDefaultColumnWidth = 100;

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

} // namespace

ObjectListView::ObjectListView(IconLookup largeIcons, IconLookup smallIcons, QWidget* parent)
    : QStackedWidget(parent), largeIcons_(std::move(largeIcons)),
      smallIcons_(std::move(smallIcons)), iconView_(new QListWidget(this)),
      reportView_(new QTreeWidget(this)) {
    iconView_->setObjectName("ListView1Icons");
    iconView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    iconView_->setResizeMode(QListView::Adjust);
    iconView_->setMovement(QListView::Static);
    reportView_->setObjectName("ListView1Report");
    reportView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    reportView_->setRootIsDecorated(false);
    reportView_->setUniformRowHeights(true);
    reportView_->header()->setSectionsClickable(true);
    reportView_->header()->setStretchLastSection(false);
    addWidget(iconView_);
    addWidget(reportView_);
    setCurrentWidget(reportView_);

    auto keyOfListItem = [](QListWidgetItem* item) { return item->data(kKeyRole).toString(); };
    auto keyOfReportItem = [](QTreeWidgetItem* item) { return item->data(0, kKeyRole).toString(); };
    connect(iconView_, &QListWidget::itemClicked, this,
            [this, keyOfListItem](QListWidgetItem* item) { emit rowClicked(keyOfListItem(item)); });
    connect(iconView_, &QListWidget::itemDoubleClicked, this,
            [this, keyOfListItem](QListWidgetItem* item) {
                emit rowDoubleClicked(keyOfListItem(item));
            });
    connect(
        reportView_, &QTreeWidget::itemClicked, this,
        [this, keyOfReportItem](QTreeWidgetItem* item) { emit rowClicked(keyOfReportItem(item)); });
    connect(reportView_, &QTreeWidget::itemDoubleClicked, this,
            [this, keyOfReportItem](QTreeWidgetItem* item) {
                emit rowDoubleClicked(keyOfReportItem(item));
            });
    connect(reportView_->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { emit columnClicked(column); });
}

void ObjectListView::setListing(const NodeListing& listing) {
    listing_ = listing;
    fill();
}

void ObjectListView::clearListing() {
    listing_ = NodeListing{};
    fill();
}

void ObjectListView::setMode(ListMode mode) {
    mode_ = mode;
    fill();
}

int ObjectListView::rowCount() const {
    return static_cast<int>(listing_.list.rows.size());
}

QString ObjectListView::rowKey(int row) const {
    return row >= 0 && row < rowCount() ? text(listing_.list.rows[row].key) : QString();
}

QString ObjectListView::cell(int row, int column) const {
    if (row < 0 || row >= rowCount())
        return {};
    const ListRow& shown = listing_.list.rows[row];
    return text(column == 0 ? shown.text : shown.subItem(static_cast<size_t>(column)));
}

QStringList ObjectListView::columnCaptions() const {
    QStringList captions;
    for (const ListColumn& column : listing_.columns)
        captions << text(column.caption);
    return captions;
}

std::vector<std::string> ObjectListView::selectedKeys() const {
    std::vector<std::string> keys;
    if (currentWidget() == reportView_) {
        for (int row = 0; row < reportView_->topLevelItemCount(); ++row) {
            if (reportView_->topLevelItem(row)->isSelected())
                keys.push_back(
                    reportView_->topLevelItem(row)->data(0, kKeyRole).toString().toStdString());
        }
    } else {
        for (int row = 0; row < iconView_->count(); ++row) {
            if (iconView_->item(row)->isSelected())
                keys.push_back(iconView_->item(row)->data(kKeyRole).toString().toStdString());
        }
    }
    return keys;
}

int ObjectListView::columnWidth(int column) const {
    return reportView_->columnWidth(column);
}

// Only the view on show is filled: a branch may hold thousands of items.
void ObjectListView::fill() {
    iconView_->clear();
    reportView_->clear();
    const auto& rows = listing_.list.rows;
    if (mode_ == ListMode::report) {
        setCurrentWidget(reportView_);
        QStringList captions = columnCaptions();
        reportView_->setHeaderHidden(captions.isEmpty());
        reportView_->setColumnCount(std::max<int>(1, static_cast<int>(captions.size())));
        reportView_->setHeaderLabels(captions);
        const int width = std::max(1, reportView_->viewport()->width());
        for (int c = 0; c < static_cast<int>(listing_.columns.size()); ++c) {
            const auto& fraction = listing_.columns[c].widthFraction;
            reportView_->setColumnWidth(c, fraction ? static_cast<int>(width * *fraction)
                                                    : kDefaultColumnWidth);
        }
        QList<QTreeWidgetItem*> items;
        items.reserve(static_cast<int>(rows.size()));
        for (const ListRow& row : rows) {
            auto* item = new QTreeWidgetItem;
            item->setText(0, text(row.text));
            item->setIcon(0, smallIcons_(row.smallIcon));
            item->setData(0, kKeyRole, text(row.key));
            for (size_t c = 1; c < listing_.columns.size(); ++c)
                item->setText(static_cast<int>(c), text(row.subItem(c)));
            items << item;
        }
        reportView_->addTopLevelItems(items);
        return;
    }
    setCurrentWidget(iconView_);
    const bool large = mode_ == ListMode::icon;
    iconView_->setViewMode(large ? QListView::IconMode : QListView::ListMode);
    iconView_->setIconSize(large ? QSize(32, 32) : QSize(16, 16));
    iconView_->setFlow(mode_ == ListMode::list ? QListView::TopToBottom : QListView::LeftToRight);
    iconView_->setWrapping(true);
    iconView_->setGridSize(large ? QSize(96, 64) : QSize());
    iconView_->setSpacing(large ? 0 : 4);
    iconView_->setWordWrap(large);
    for (const ListRow& row : rows) {
        auto* item = new QListWidgetItem(
            large ? largeIcons_(row.largeIcon) : smallIcons_(row.smallIcon), text(row.text));
        item->setData(kKeyRole, text(row.key));
        iconView_->addItem(item);
    }
}

} // namespace vorn::editor
