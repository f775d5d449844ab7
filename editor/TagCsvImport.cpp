#include "TagCsvImport.h"

#include "ByteOrderChoices.h"
#include "CsvText.h"
#include "EditorError.h"
#include "EditorState.h"
#include "ItemForm.h"
#include "ModelInsert.h"
#include "NameRules.h"
#include "NumericText.h"
#include "StructureEdits.h"
#include "fileformat/ValueSettings.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <unordered_map>

namespace vorn::editor {
namespace {

struct Refusal {
    TagColumn column;
    std::string reason;
};

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

// Spreadsheets change case freely: "Holding Register" picks "holding register".
std::optional<std::string> choiceMatching(const std::vector<std::string>& choices,
                                          const std::string& text) {
    const std::string wanted = lowered(text);
    for (const std::string& choice : choices)
        if (lowered(choice) == wanted)
            return choice;
    return std::nullopt;
}

std::string sentence(std::string text) {
    if (!text.empty() && text.back() != '.')
        text += '.';
    return text;
}

// The column a message of the item dialog's checks is about, by the field title it starts with.
TagColumn columnOfMessage(const std::string& message) {
    static const std::vector<std::pair<const char*, TagColumn>> titles{
        {"Item name", TagColumn::name},       {"ModBus Type", TagColumn::modbusType},
        {"Data Type", TagColumn::dataType},   {"Memory address", TagColumn::address},
        {"Bit number", TagColumn::bit},       {"Number of elements", TagColumn::elements},
        {"Access Rights", TagColumn::access}, {"Raw low", TagColumn::rawLow},
        {"Raw high", TagColumn::rawHigh},     {"EU low", TagColumn::euLow},
        {"EU high", TagColumn::euHigh},       {"Scaling", TagColumn::rawLow},
        {"Units", TagColumn::units}};
    for (const auto& [title, column] : titles)
        if (message.starts_with(title))
            return column;
    return TagColumn::name;
}

// The first character of `name` the name field would not take when typed; none when all pass.
std::optional<std::string> refusedNameCharacter(const std::string& name) {
    for (size_t at = 0; at < name.size();) {
        size_t length = 1;
        while (at + length < name.size() &&
               (static_cast<unsigned char>(name[at + length]) & 0xC0) == 0x80)
            ++length;
        const auto code = static_cast<unsigned char>(name[at]);
        if (length > 1 || itemNameKeyFilter(code) == 0 || code < 32)
            return name.substr(at, length);
        at += length;
    }
    return std::nullopt;
}

std::vector<std::string> splitPath(const std::string& path) {
    std::vector<std::string> names;
    if (path.empty())
        return names;
    size_t start = 0;
    while (true) {
        const size_t slash = path.find('/', start);
        names.push_back(path.substr(start, slash - start));
        if (slash == std::string::npos)
            return names;
        start = slash + 1;
    }
}

// Checks the rows of one file in order; each row is checked against the configuration and the
// rows above it that will be imported.
class RowChecker {
public:
    RowChecker(const EditorState& state, const TreeNode& target,
               std::array<std::optional<size_t>, kTagColumnCount> fieldOf, size_t headerSize)
        : state_(state), target_(target), fieldOf_(fieldOf), headerSize_(headerSize) {
        for (const auto& [name, type] : state.modbusTypes)
            modbusTypes_.push_back(name);
    }

    RowPlan check(const CsvRecord& record) {
        RowPlan plan;
        plan.row = record.row;
        record_ = &record;
        if (record.fields.size() > headerSize_) {
            plan.reason = "The row has " + std::to_string(record.fields.size()) +
                          " fields, the header names " + std::to_string(headerSize_) + ".";
            return plan;
        }
        plan.branches = splitPath(trimmed(field(TagColumn::path)));
        ItemFields fields;
        const std::string key = keyOf(plan.branches, field(TagColumn::name));
        std::optional<Refusal> refusal = checkPath(plan.branches);
        if (!refusal)
            refusal = fill(fields);
        if (!refusal) {
            if (auto problem = CheckFields(fields))
                refusal = Refusal{columnOfMessage(*problem), *problem};
        }
        if (!refusal)
            refusal = checkKey(key, plan.outcome);
        if (refusal) {
            plan.outcome = RowOutcome::refused;
            plan.column = headerOf(refusal->column);
            plan.reason = sentence(refusal->reason);
            return plan;
        }
        plan.item = std::make_shared<clsItem>();
        SetByForm(*plan.item, fields, key);
        for (size_t level = 1; level <= plan.branches.size(); ++level)
            planned_.emplace(keyOf({plan.branches.begin(), plan.branches.begin() + level}, {}),
                             Planned{true, record.row});
        planned_.emplace(key, Planned{false, record.row});
        return plan;
    }

private:
    struct Planned {
        bool branch;
        int row;
    };

    std::string field(TagColumn column) const {
        const std::optional<size_t> at = fieldOf_[static_cast<size_t>(column)];
        return at && *at < record_->fields.size() ? record_->fields[*at] : std::string();
    }

    // The key below the target of the branches' path and `name` (no name: the last branch's).
    std::string keyOf(const std::vector<std::string>& branches, const std::string& name) const {
        std::string key = target_.key;
        for (const std::string& branch : branches)
            key += "." + branch;
        return name.empty() ? key : key + "." + name;
    }

    std::optional<Refusal> checkPath(const std::vector<std::string>& branches) const {
        std::string key = target_.key;
        for (const std::string& branch : branches) {
            if (auto problem = branchNameTextProblem(branch))
                return Refusal{TagColumn::path, *problem};
            key += "." + branch;
            const TreeNode* node = state_.tree.find(key);
            if (node && node->tag != kTagBranch)
                return Refusal{TagColumn::path, branch + " is an item here, not a branch"};
            auto planned = planned_.find(key);
            if (planned != planned_.end() && !planned->second.branch)
                return Refusal{TagColumn::path, "row " + std::to_string(planned->second.row) +
                                                    " adds an item named " + branch + " here"};
        }
        return std::nullopt;
    }

    // The dialog's fields as the row fills them, each picked from the dialog's own lists.
    std::optional<Refusal> fill(ItemFields& fields) const {
        fields.name = field(TagColumn::name);
        if (auto problem = nameCharsProblem(fields.name))
            return Refusal{TagColumn::name, *problem};
        if (auto refused = refusedNameCharacter(fields.name))
            return Refusal{TagColumn::name,
                           "Character (" + *refused + ") not acceptable in string " + fields.name};
        if (utf8Length(fields.name) > kItemNameMaxLength)
            return Refusal{TagColumn::name, "Item name is longer than " +
                                                std::to_string(kItemNameMaxLength) + " characters"};
        const std::string modbusType = trimmed(field(TagColumn::modbusType));
        if (auto known = choiceMatching(modbusTypes_, modbusType))
            pickModbusType(fields, *known);
        else if (!modbusType.empty())
            return Refusal{TagColumn::modbusType,
                           "The configuration has no ModBus type \"" + modbusType + "\""};
        const std::string dataType = trimmed(field(TagColumn::dataType));
        if (auto known = choiceMatching(fields.dataTypeChoices, dataType))
            pickDataType(fields, *known);
        else if (!dataType.empty() && !fields.modbusType.empty())
            return Refusal{TagColumn::dataType,
                           "\"" + dataType + "\" is not a data type of " + fields.modbusType};
        fields.address = trimmed(field(TagColumn::address));
        fields.comment = field(TagColumn::comment);
        if (utf8Length(fields.comment) > kItemCommentMaxLength)
            return Refusal{TagColumn::comment, "Comment is longer than " +
                                                   std::to_string(kItemCommentMaxLength) +
                                                   " characters"};
        if (auto refusal = fillBitAndElements(fields))
            return refusal;
        const std::string access = trimmed(field(TagColumn::access));
        if (auto known = choiceMatching(fields.accessRightChoices, access))
            fields.accessRight = *known;
        else if (!access.empty() && !fields.modbusType.empty())
            return Refusal{TagColumn::access,
                           "\"" + access + "\" is not an access right of " + fields.modbusType};
        if (auto refusal = fillByteOrder(fields))
            return refusal;
        return fillScaling(fields);
    }

    std::optional<Refusal> fillBitAndElements(ItemFields& fields) const {
        const std::string bit = trimmed(field(TagColumn::bit));
        if (fields.bitEnabled) {
            fields.bit = bit;
            if (!bit.empty() && !wholeValueIn(bit, 0, 15))
                return Refusal{TagColumn::bit,
                               "Bit number field is not valid. It must be between 0 and 15"};
        } else if (!bit.empty() && wholeValue(bit) != 0) {
            return Refusal{TagColumn::bit, "A bit number applies only to booleans in registers, "
                                           "not to " +
                                               fields.dataType};
        }
        const std::string elements = trimmed(field(TagColumn::elements));
        if (fields.elementsEnabled)
            fields.elements = elements;
        else if (!elements.empty() && wholeValue(elements) != 0)
            return Refusal{TagColumn::elements,
                           "A number of elements applies only to arrays and strings, not to " +
                               fields.dataType};
        return std::nullopt;
    }

    std::optional<Refusal> fillByteOrder(ItemFields& fields) const {
        const std::string order = trimmed(field(TagColumn::byteOrder));
        if (order.empty())
            return std::nullopt;
        std::optional<std::string> choice;
        for (const format::ByteOrderName& name : format::kByteOrders)
            if (lowered(order) == lowered(name.name) ||
                lowered(order) == lowered(format::byteOrderChoice(name)))
                choice = format::byteOrderChoice(name);
        if (!choice)
            return Refusal{TagColumn::byteOrder,
                           format::unknownByteOrderMessage(order, format::Wording::dialog)};
        if (!fields.byteOrderEnabled)
            return Refusal{TagColumn::byteOrder,
                           format::byteOrderOnBitsMessage(format::Wording::dialog)};
        fields.byteOrder = *choice;
        return std::nullopt;
    }

    std::optional<Refusal> fillScaling(ItemFields& fields) const {
        const std::pair<TagColumn, std::string*> texts[]{{TagColumn::rawLow, &fields.rawLow},
                                                         {TagColumn::rawHigh, &fields.rawHigh},
                                                         {TagColumn::euLow, &fields.euLow},
                                                         {TagColumn::euHigh, &fields.euHigh},
                                                         {TagColumn::units, &fields.units}};
        for (const auto& [column, text] : texts) {
            const std::string given = trimmed(field(column));
            if (given.empty())
                continue;
            if (!fields.scalingEnabled)
                return Refusal{column, format::scalingOnBitsOrTextMessage(format::Wording::dialog)};
            *text = given;
        }
        if (utf8Length(fields.units) > kItemUnitsMaxLength)
            return Refusal{TagColumn::units, "Units are longer than " +
                                                 std::to_string(kItemUnitsMaxLength) +
                                                 " characters"};
        return std::nullopt;
    }

    // The sibling-name rules: an item of that name is replaced, any other node refuses the
    // name, and so does an earlier row.
    std::optional<Refusal> checkKey(const std::string& key, RowOutcome& outcome) const {
        auto planned = planned_.find(key);
        if (planned != planned_.end())
            return Refusal{TagColumn::name, planned->second.branch
                                                ? "Row " + std::to_string(planned->second.row) +
                                                      " names a branch of that name here"
                                                : "The name appears already in row " +
                                                      std::to_string(planned->second.row)};
        const TreeNode* node = state_.tree.find(key);
        if (node && node->tag != kTagItem)
            return Refusal{TagColumn::name, *keyTakenProblem(state_.tree, key, nullptr)};
        outcome = node ? RowOutcome::replace : RowOutcome::add;
        return std::nullopt;
    }

    const EditorState& state_;
    const TreeNode& target_;
    std::array<std::optional<size_t>, kTagColumnCount> fieldOf_;
    size_t headerSize_;
    std::vector<std::string> modbusTypes_;
    std::unordered_map<std::string, Planned> planned_;
    const CsvRecord* record_ = nullptr;
};

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
        const std::string name = lowered(trimmed(header[at]));
        for (size_t column = 0; column < kTagColumnCount; ++column) {
            if (name != lowered(kTagColumns[column].header))
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
    RowChecker checker(state, target, fieldOf, header.size());
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
