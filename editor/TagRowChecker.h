// The rows of one tag list checked in order, each as the item dialog checks its fields (every
// value picked from the dialog's own lists, a field that does not apply left empty) and by the
// sibling-name rules against the configuration and the rows above it that will be imported.
#pragma once

#include "CsvText.h"
#include "ItemForm.h"
#include "TagCsvImport.h"

#include <array>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace vorn::editor {

class TagRowChecker {
public:
    // `fieldOf` gives, for each column, the field of a record that holds it; `headerSize` is
    // the number of fields the header names.
    TagRowChecker(const EditorState& state, const TreeNode& target,
                  std::array<std::optional<size_t>, kTagColumnCount> fieldOf, size_t headerSize);

    // The row's outcome; a row that is not refused counts for the rows after it.
    RowPlan check(const CsvRecord& record);

private:
    struct Refusal {
        TagColumn column;
        std::string reason;
    };
    struct Planned {
        bool branch;
        int row;
    };

    std::string field(TagColumn column) const;
    // The key below the target of the branches' path and `name` (no name: the last branch's).
    std::string keyOf(const std::vector<std::string>& branches, const std::string& name) const;
    std::optional<Refusal> checkPath(const std::vector<std::string>& branches) const;
    // The dialog's fields as the row fills them.
    std::optional<Refusal> fill(ItemFields& fields) const;
    std::optional<Refusal> fillBitAndElements(ItemFields& fields) const;
    std::optional<Refusal> fillByteOrder(ItemFields& fields) const;
    std::optional<Refusal> fillScaling(ItemFields& fields) const;
    // An item of that name is replaced, any other node refuses the name, so does an earlier row.
    std::optional<Refusal> checkKey(const std::string& key, RowOutcome& outcome) const;

    const EditorState& state_;
    const TreeNode& target_;
    std::array<std::optional<size_t>, kTagColumnCount> fieldOf_;
    size_t headerSize_;
    std::vector<std::string> modbusTypes_;
    std::unordered_map<std::string, Planned> planned_; // keys the rows so far will make
    const CsvRecord* record_ = nullptr;                // the row being checked
};

} // namespace vorn::editor
