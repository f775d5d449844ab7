// The rows the main window lists for the selected node: key, text, columns and icons. The
// columns themselves belong to the view that shows them.
#pragma once

#include <string>
#include <vector>

namespace vorn::editor {

struct ListRow {
    std::string key;
    std::string text;
    std::vector<std::string> subItems; // column n is subItems[n - 1]; unset columns are empty
    std::string largeIcon;
    std::string smallIcon;

    void setSubItem(size_t column, const std::string& value) {
        if (subItems.size() < column)
            subItems.resize(column);
        subItems[column - 1] = value;
    }
    std::string subItem(size_t column) const {
        return column >= 1 && column <= subItems.size() ? subItems[column - 1] : std::string();
    }
};

struct ListView {
    std::vector<std::string> largeIconKeys; // the list's large-icon set, in order
    std::vector<ListRow> rows;

    ListRow& addRow(const std::string& key, const std::string& text) {
        rows.push_back(ListRow{key, text, {}, {}, {}});
        return rows.back();
    }
};

} // namespace vorn::editor
