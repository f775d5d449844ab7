// ListView1: the rows of the selected node in one of four views over the same rows: large
// icons, small icons, a list, or a report with columns. Several rows can be selected. The rows
// come sorted from the session; a column click is passed on, not sorted here.
#pragma once

#include "editor/NodeListing.h"

#include <QIcon>
#include <QStackedWidget>
#include <functional>

class QListWidget;
class QTreeWidget;

namespace vorn::editor {

enum class ListMode { icon, smallIcon, list, report };

class ObjectListView : public QStackedWidget {
    Q_OBJECT

public:
    using IconLookup = std::function<QIcon(const std::string&)>;

    ObjectListView(IconLookup largeIcons, IconLookup smallIcons, QWidget* parent = nullptr);

    void setListing(const NodeListing& listing);
    void clearListing();
    void setMode(ListMode mode);
    ListMode mode() const { return mode_; }

    // What is shown, for the window's tests and screenshots.
    int rowCount() const;
    QString rowKey(int row) const;
    // Column 0 is the row's text.
    QString cell(int row, int column) const;
    QStringList columnCaptions() const;
    // Keys of the selected rows, in the list's order.
    std::vector<std::string> selectedKeys() const;
    int columnWidth(int column) const;
    QListWidget* iconView() const { return iconView_; }
    QTreeWidget* reportView() const { return reportView_; }

signals:
    void rowClicked(const QString& key);
    void rowDoubleClicked(const QString& key);
    void columnClicked(int column);

private:
    void fill();

    IconLookup largeIcons_;
    IconLookup smallIcons_;
    QListWidget* iconView_;
    QTreeWidget* reportView_;
    NodeListing listing_;
    ListMode mode_ = ListMode::report;
};

} // namespace vorn::editor
