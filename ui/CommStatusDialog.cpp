#include "CommStatusDialog.h"

#include "engine/EngineQueues.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace vorn::ui {
namespace {

enum Column { kNameColumn = 0, kValueColumn = 1, kQualityColumn = 2 };

const modbus::PollBlock* blockOf(const QTreeWidgetItem* item) {
    const QVariant data = item->data(0, CommStatusDialog::kBlockRole);
    return data.isValid() ? reinterpret_cast<const modbus::PollBlock*>(data.value<quintptr>())
                          : nullptr;
}

// Children are kept in name order, without regard to case, as they are inserted.
void insertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* item) {
    int at = 0;
    while (at < parent->childCount() &&
           QString::compare(parent->child(at)->text(0), item->text(0), Qt::CaseInsensitive) <= 0)
        ++at;
    parent->insertChild(at, item);
}

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

} // namespace

CommStatusDialog::CommStatusDialog(const modbus::CommThread& engine, modbus::EngineQueues& queues,
                                   QWidget* parent)
    : CommStatusDialog(std::vector<EngineSource>{{&engine, &queues.engineLock()}}, parent) {}

CommStatusDialog::CommStatusDialog(std::vector<EngineSource> engines, QWidget* parent)
    : QDialog(parent), reader_(std::move(engines)), tree_(new QTreeWidget(this)),
      list_(new QTreeWidget(this)) {
    setWindowTitle("Communication Status");
    setModal(true);

    tree_->setObjectName("networkTree");
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(true);
    tree_->setDragEnabled(false);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);

    list_->setObjectName("tagList");
    list_->setColumnCount(3);
    list_->setHeaderLabels({"Tag Name", "Value", "Quality"});
    list_->setColumnWidth(kNameColumn, 120);
    list_->setColumnWidth(kValueColumn, 82);
    list_->setColumnWidth(kQualityColumn, 100);
    list_->setRootIsDecorated(false);
    list_->setSortingEnabled(true);
    list_->sortByColumn(kNameColumn, Qt::AscendingOrder);
    list_->header()->setSectionsClickable(false); // always in name order
    list_->header()->setSortIndicatorShown(false);

    auto* network = new QGroupBox("ModBus Network", this);
    auto* networkLayout = new QHBoxLayout(network);
    networkLayout->addWidget(tree_, 2);
    networkLayout->addWidget(list_, 3);

    auto* refreshButton = new QPushButton("&Refresh", this);
    auto* ok = new QPushButton("OK", this);
    refreshButton->setAutoDefault(false);
    ok->setDefault(true);
    connect(refreshButton, &QPushButton::clicked, this, &CommStatusDialog::refresh);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(refreshButton);
    buttons->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(network);
    layout->addLayout(buttons);
    resize(560, 320);

    buildTree();
    connect(tree_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { onCurrentItemChanged(current); });
}

void CommStatusDialog::buildTree() {
    root_ = new QTreeWidgetItem(tree_, QStringList{"PLCs Network"});
    const std::vector<DeviceStatus> devices = reader_.devices();
    for (size_t i = 0; i < devices.size(); ++i) {
        auto* item = new QTreeWidgetItem(QStringList{text(deviceLabel(devices[i]))});
        item->setData(0, kDeviceRole, QVariant::fromValue<quintptr>(i));
        insertSorted(root_, item);
        deviceItems_.push_back(item);
        for (const BlockStatus& block : devices[i].blocks)
            insertSorted(item, newBlockItem(i, block));
    }
    root_->setExpanded(true);
}

QTreeWidgetItem* CommStatusDialog::newBlockItem(size_t device, const BlockStatus& block) {
    auto* item = new QTreeWidgetItem(QStringList{text(block.label)});
    item->setData(0, kDeviceRole, QVariant::fromValue<quintptr>(device));
    item->setData(0, kBlockRole, QVariant::fromValue(reinterpret_cast<quintptr>(block.block)));
    return item;
}

void CommStatusDialog::onCurrentItemChanged(QTreeWidgetItem* current) {
    clearList();
    selected_.reset();
    const modbus::PollBlock* block = current ? blockOf(current) : nullptr;
    if (!block)
        return; // the root or a device: the list stays empty
    const size_t device = current->data(0, kDeviceRole).value<quintptr>();
    selected_ = SelectedBlock{device, block};
    refreshList();
}

void CommStatusDialog::refresh() {
    // Without a selected block there is no list to keep.
    if (!selected_)
        clearList();
    refreshTree();
    refreshList();
}

void CommStatusDialog::refreshTree() {
    const std::vector<DeviceStatus> devices = reader_.devices();
    for (size_t i = 0; i < devices.size() && i < deviceItems_.size(); ++i) {
        QTreeWidgetItem* deviceItem = deviceItems_[i];
        deviceItem->setText(0, text(deviceLabel(devices[i]))); // its address may have changed
        const std::vector<BlockStatus>& blocks = devices[i].blocks;
        std::vector<const modbus::PollBlock*> shown;
        std::vector<QTreeWidgetItem*> gone;
        for (int c = 0; c < deviceItem->childCount(); ++c) {
            QTreeWidgetItem* child = deviceItem->child(c);
            auto held = std::find_if(blocks.begin(), blocks.end(), [&](const BlockStatus& b) {
                return b.block == blockOf(child);
            });
            if (held == blocks.end()) {
                gone.push_back(child);
            } else {
                child->setText(0, text(held->label)); // its range may have changed
                shown.push_back(held->block);
            }
        }
        for (QTreeWidgetItem* child : gone) {
            if (selected_ && selected_->block == blockOf(child)) {
                selected_.reset();
                clearList();
            }
            delete child;
        }
        for (const BlockStatus& block : blocks)
            if (std::find(shown.begin(), shown.end(), block.block) == shown.end())
                insertSorted(deviceItem, newBlockItem(i, block));
    }
}

void CommStatusDialog::refreshList() {
    if (!selected_)
        return;
    const auto tags = reader_.tags(selected_->device, selected_->block);
    if (!tags) {
        // The block went away since the tree was built.
        selected_.reset();
        clearList();
        removeVanishedBlockLater();
        return;
    }
    for (auto row = rows_.begin(); row != rows_.end();) {
        auto now = std::find_if(tags->begin(), tags->end(),
                                [&](const TagStatus& t) { return t.tag == row->first; });
        if (now == tags->end()) {
            delete row->second;
            row = rows_.erase(row);
            continue;
        }
        row->second->setText(kValueColumn, text(now->value));
        row->second->setText(kQualityColumn, text(now->quality));
        ++row;
    }
    for (const TagStatus& tag : *tags)
        if (!rows_.count(tag.tag))
            addRow(tag);
}

void CommStatusDialog::addRow(const TagStatus& tag) {
    auto* row =
        new QTreeWidgetItem(QStringList{text(tag.name), text(tag.value), text(tag.quality)});
    list_->addTopLevelItem(row);
    rows_[tag.tag] = row;
}

void CommStatusDialog::clearList() {
    rows_.clear();
    list_->clear();
}

void CommStatusDialog::removeVanishedBlockLater() {
    // Not while the tree is telling us about its selection.
    QTimer::singleShot(0, this, [this] { refreshTree(); });
}

} // namespace vorn::ui
