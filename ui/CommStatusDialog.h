// The communication status dialog: a tree of the devices and the poll blocks the engine
// currently reads them with, and for the selected block its tags with value and quality.
// Nothing updates by itself: "&Refresh" or another selection reads the engine again.
#pragma once

#include "EngineStatusReader.h"

#include <QDialog>
#include <map>
#include <optional>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

namespace vorn::modbus {
class EngineQueues;
}

namespace vorn::ui {

class CommStatusDialog : public QDialog {
    Q_OBJECT

public:
    // Item data of the tree's items (Qt::UserRole and up).
    enum ItemRole { kDeviceRole = Qt::UserRole, kBlockRole };

    CommStatusDialog(const modbus::CommThread& engine, modbus::EngineQueues& queues,
                     QWidget* parent = nullptr);
    // Polling per connection: the devices of every worker.
    explicit CommStatusDialog(std::vector<EngineSource> engines, QWidget* parent = nullptr);

    QTreeWidget* networkTree() const { return tree_; }
    QTreeWidget* tagList() const { return list_; }

public slots:
    // The "&Refresh" button: relabels, removes and adds blocks, and updates the tag rows.
    void refresh();

private:
    struct SelectedBlock {
        size_t device;
        const modbus::PollBlock* block;
    };

    void buildTree();
    void onCurrentItemChanged(QTreeWidgetItem* current);
    void refreshTree();
    void refreshList();
    void clearList();
    void addRow(const TagStatus& tag);
    QTreeWidgetItem* newBlockItem(size_t device, const BlockStatus& block);
    void removeVanishedBlockLater();

    EngineStatusReader reader_;
    QTreeWidget* tree_;
    QTreeWidget* list_;
    QTreeWidgetItem* root_ = nullptr;
    std::vector<QTreeWidgetItem*> deviceItems_; // by the device's position in the engine
    std::optional<SelectedBlock> selected_;
    std::map<const modbus::PolledTag*, QTreeWidgetItem*> rows_;
};

} // namespace vorn::ui
