// What the list shows for a selected tree node: its columns (captions and widths as fractions
// of the list's width) and its rows, sorted as text on the list's sort column.
#pragma once

#include "ListView.h"

#include <optional>
#include <string>
#include <vector>

namespace vorn::editor {

struct EditorState;
struct TreeNode;

struct ListColumn {
    std::string caption;
    std::optional<double> widthFraction; // none: the list's default column width
};

struct NodeListing {
    std::vector<ListColumn> columns;
    ListView list; // rows; the large-icon set is the window's
};

// Columns and rows for `node`, by its tag: the devices for the root, the Modbus types for
// their folder, nothing for one Modbus type, the device itself, a branch's direct items with
// the Index column, an item itself. Rows are in collection or tree order. Throws EditorError
// when an object of the tree is missing from its collection.
NodeListing listingForNode(const EditorState& state, const TreeNode& node,
                           const std::vector<std::string>& largeIconKeys);

// Sorts the rows ascending by `column` (0 = the row's text, n = sub-item n), comparing the
// cells as text without regard to case; rows with equal cells keep their order.
void sortRowsAsText(std::vector<ListRow>& rows, size_t column);

} // namespace vorn::editor
