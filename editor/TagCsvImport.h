// Reading a tag list (TagCsv.h) into a unit or a branch in two steps: a plan that checks every
// row as the item dialog checks its fields, against the configuration and the rows above it,
// and changes nothing; then, if the user goes on, the plan applied in one step.
#pragma once

#include "TagCsv.h"
#include "clsItem.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::editor {

// Larger files are refused unread: ten thousand rows take about one megabyte.
inline constexpr uintmax_t kTagCsvMaxBytes = 16u * 1024 * 1024;

enum class RowOutcome { add, replace, refused };

struct RowPlan {
    int row = 0; // the spreadsheet's row number; the header is row 1
    RowOutcome outcome = RowOutcome::refused;
    std::string column; // the column a refusal is about; empty for the row as a whole
    std::string reason;
    std::vector<std::string> branches; // the path's branch names
    std::shared_ptr<clsItem> item;     // keyed, for the rows that are not refused
};

struct TagCsvPlan {
    // Set when the file is no tag list at all; there are no rows then.
    std::string problem;
    std::string targetKey;
    std::vector<RowPlan> rows;
    size_t additions = 0;
    size_t replacements = 0;
    size_t refusals = 0;
};

// The plan for the file's bytes imported below `target` (a unit or a branch).
TagCsvPlan planTagCsv(const EditorState& state, const TreeNode& target, std::string_view bytes);
// The same for a file, refused with a message when it cannot be read or is too large.
TagCsvPlan planTagCsvFile(const EditorState& state, const TreeNode& target,
                          const std::string& path);

// Adds and replaces the plan's items, creating the branches their paths name, in row order; a
// replaced item keeps its place. Checks every key first and changes nothing when the
// configuration no longer fits the plan (EditorError). The number of items added or replaced.
size_t applyTagCsv(EditorState& state, const TagCsvPlan& plan);

// The preview's texts for a row: "Row 7", "refused" (or "will add", "will replace an item of
// that name"), the column, and the reason (or the item's path and name).
struct RowPreview {
    std::string row;
    std::string result;
    std::string column;
    std::string detail;
};
RowPreview previewOf(const RowPlan& row);
// "1000 rows will add items, 2 will replace items of the same name, 5 are refused."
std::string planSummary(const TagCsvPlan& plan);
// The preview's order: refused rows first, each part in row order.
std::vector<size_t> previewOrder(const TagCsvPlan& plan);

} // namespace vorn::editor
