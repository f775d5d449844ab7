#include "TagCsvImport.h"

#include "CsvText.h"
#include "EditorError.h"
#include "EditorState.h"
#include "ModelInsert.h"
#include "TagRowChecker.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace vorn::editor {
namespace {

TagCsvPlan refusedFile(std::string problem) {
    TagCsvPlan plan;
    plan.problem = std::move(problem);
    return plan;
}

} // namespace

TagCsvPlan planTagCsv(const EditorState& state, const TreeNode& target, std::string_view bytes) {
    if (target.tag != kTagPlc && target.tag != kTagBranch)
        return refusedFile("Tags can only be imported into a unit or a branch.");
    CsvParse parsed = parseCsv(csvTextAsUtf8(bytes));
    if (parsed.problem)
        return refusedFile("The file cannot be read as CSV. " + *parsed.problem);
    const std::vector<CsvRecord>& records = parsed.table.records;
    if (records.empty())
        return refusedFile("The file is empty: a tag list needs a header row and a row per item.");
    const std::vector<std::string>& header = records.front().fields;

    std::array<std::optional<size_t>, kTagColumnCount> fieldOf{};
    for (size_t at = 0; at < header.size(); ++at) {
        const std::string name = lowerCase(trimmedField(header[at]));
        for (size_t column = 0; column < kTagColumnCount; ++column) {
            if (name != lowerCase(kTagColumns[column].header))
                continue;
            if (fieldOf[column])
                return refusedFile(std::string("The header names the column ") +
                                   kTagColumns[column].header + " twice.");
            fieldOf[column] = at;
        }
    }
    std::string missing;
    for (size_t column = 0; column < kTagColumnCount; ++column)
        if (kTagColumns[column].required && !fieldOf[column])
            missing += std::string(missing.empty() ? "" : ", ") + kTagColumns[column].header;
    if (!missing.empty())
        return refusedFile("The file is not a tag list: its first row must name the columns "
                           "Name, Address, ModbusType, DataType and Access (missing: " +
                           missing + ").");
    if (records.size() == 1)
        return refusedFile("The file holds a header but no tag rows.");

    TagCsvPlan plan;
    plan.targetKey = target.key;
    plan.rows.reserve(records.size() - 1);
    TagRowChecker checker(state, target, fieldOf, header.size());
    for (size_t at = 1; at < records.size(); ++at) {
        RowPlan& row = plan.rows.emplace_back(checker.check(records[at]));
        ++(row.outcome == RowOutcome::add       ? plan.additions
           : row.outcome == RowOutcome::replace ? plan.replacements
                                                : plan.refusals);
    }
    return plan;
}

TagCsvPlan planTagCsvFile(const EditorState& state, const TreeNode& target,
                          const std::string& path) {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    if (error)
        return refusedFile("The file " + path + " cannot be read: " + error.message() + ".");
    if (size > kTagCsvMaxBytes)
        return refusedFile("The file " + path + " holds " + std::to_string(size / (1024 * 1024)) +
                           " MB; a tag list may hold at most " +
                           std::to_string(kTagCsvMaxBytes / (1024 * 1024)) + " MB.");
    std::ifstream file(path, std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(file), {});
    if (!file && !file.eof())
        return refusedFile("The file " + path + " cannot be read.");
    return planTagCsv(state, target, bytes);
}

size_t applyTagCsv(EditorState& state, const TagCsvPlan& plan) {
    if (!plan.problem.empty())
        throw EditorError(kErrInvalidArgument,
                          "Invalid procedure call or argument: " + plan.problem);
    TreeNode* target = state.tree.find(plan.targetKey);
    if (!target)
        throw EditorError(kErrElementNotFound, "Element not found: " + plan.targetKey);
    // Every key as the plan saw it, before anything changes: the branches of each path are
    // branches or free, each item is free or, when it replaces one, an item.
    auto changed = [](const std::string& key) {
        return EditorError(kErrDuplicateNodeKey,
                           "The configuration changed since the preview: " + key);
    };
    for (const RowPlan& row : plan.rows) {
        if (row.outcome == RowOutcome::refused)
            continue;
        std::string key = plan.targetKey;
        for (const std::string& name : row.branches) {
            key += "." + name;
            const TreeNode* node = state.tree.find(key);
            if (node && node->tag != kTagBranch)
                throw changed(key);
        }
        const TreeNode* node = state.tree.find(row.item->sKey);
        const bool fits = row.outcome == RowOutcome::replace
                              ? node && node->tag == kTagItem
                              : !node && !state.items.contains(row.item->sKey);
        if (!fits)
            throw changed(row.item->sKey);
    }
    size_t applied = 0;
    for (const RowPlan& row : plan.rows) {
        if (row.outcome == RowOutcome::refused)
            continue;
        TreeNode* parent = target;
        for (const std::string& name : row.branches) {
            TreeNode* branch = state.tree.find(parent->key + "." + name);
            if (!branch) {
                auto created = std::make_shared<clsBranch>();
                created->sName = name;
                created->sKey = parent->key + "." + name;
                branch = &addBranch(state, *parent, std::move(created));
                ++state.branchCounter;
            }
            parent = branch;
        }
        auto item = std::make_shared<clsItem>(*row.item);
        if (row.outcome == RowOutcome::replace) {
            state.items.replace(item->sKey, item->sKey, item);
        } else {
            addItem(state, *parent, item);
            ++state.itemCounter;
        }
        ++applied;
        state.advanceProgress();
    }
    if (applied > 0) {
        state.configSaved = false;
        state.itemAdded = true;
    }
    state.tree.select(target);
    return applied;
}

RowPreview previewOf(const RowPlan& row) {
    RowPreview preview;
    preview.row = "Row " + std::to_string(row.row);
    preview.column = row.column;
    switch (row.outcome) {
    case RowOutcome::add:
        preview.result = "will add";
        break;
    case RowOutcome::replace:
        preview.result = "will replace an item of that name";
        break;
    case RowOutcome::refused:
        preview.result = "refused";
        preview.detail = row.reason;
        return preview;
    }
    for (const std::string& branch : row.branches)
        preview.detail += branch + "/";
    preview.detail += row.item->sName;
    return preview;
}

std::string planSummary(const TagCsvPlan& plan) {
    if (!plan.problem.empty())
        return plan.problem;
    return std::to_string(plan.additions) + " rows will add items, " +
           std::to_string(plan.replacements) + " will replace items of the same name, " +
           std::to_string(plan.refusals) + " are refused.";
}

std::vector<size_t> previewOrder(const TagCsvPlan& plan) {
    std::vector<size_t> order(plan.rows.size());
    for (size_t at = 0; at < order.size(); ++at)
        order[at] = at;
    std::stable_partition(order.begin(), order.end(), [&plan](size_t at) {
        return plan.rows[at].outcome == RowOutcome::refused;
    });
    return order;
}

} // namespace vorn::editor
