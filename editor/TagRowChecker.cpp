#include "TagRowChecker.h"

#include "ByteOrderChoices.h"
#include "EditorState.h"
#include "ItemForm.h"
#include "NameRules.h"
#include "NumericText.h"
#include "StructureEdits.h"
#include "fileformat/ValueSettings.h"

namespace vorn::editor {
namespace {

// Spreadsheets change case freely: "Holding Register" picks "holding register".
std::optional<std::string> choiceMatching(const std::vector<std::string>& choices,
                                          const std::string& text) {
    const std::string wanted = lowerCase(text);
    for (const std::string& choice : choices)
        if (lowerCase(choice) == wanted)
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

} // namespace

TagRowChecker::TagRowChecker(const EditorState& state, const TreeNode& target,
                             std::array<std::optional<size_t>, kTagColumnCount> fieldOf,
                             size_t headerSize)
    : state_(state), target_(target), fieldOf_(fieldOf), headerSize_(headerSize) {
    for (const auto& [name, type] : state.modbusTypes)
        modbusTypes_.push_back(name);
}

RowPlan TagRowChecker::check(const CsvRecord& record) {
    RowPlan plan;
    plan.row = record.row;
    record_ = &record;
    if (record.fields.size() > headerSize_) {
        plan.reason = "The row has " + std::to_string(record.fields.size()) +
                      " fields, the header names " + std::to_string(headerSize_) + ".";
        return plan;
    }
    plan.branches = splitPath(trimmedField(field(TagColumn::path)));
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

std::string TagRowChecker::field(TagColumn column) const {
    const std::optional<size_t> at = fieldOf_[static_cast<size_t>(column)];
    return at && *at < record_->fields.size() ? record_->fields[*at] : std::string();
}

std::string TagRowChecker::keyOf(const std::vector<std::string>& branches,
                                 const std::string& name) const {
    std::string key = target_.key;
    for (const std::string& branch : branches)
        key += "." + branch;
    return name.empty() ? key : key + "." + name;
}

std::optional<TagRowChecker::Refusal>
TagRowChecker::checkPath(const std::vector<std::string>& branches) const {
    if (auto problem = branchDepthProblem(target_, static_cast<int>(branches.size())))
        return Refusal{TagColumn::path, *problem};
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
std::optional<TagRowChecker::Refusal> TagRowChecker::fill(ItemFields& fields) const {
    fields.name = field(TagColumn::name);
    if (auto problem = nameCharsProblem(fields.name))
        return Refusal{TagColumn::name, *problem};
    if (auto refused = refusedNameCharacter(fields.name))
        return Refusal{TagColumn::name,
                       "Character (" + *refused + ") not acceptable in string " + fields.name};
    if (utf8Length(fields.name) > kItemNameMaxLength)
        return Refusal{TagColumn::name, "Item name is longer than " +
                                            std::to_string(kItemNameMaxLength) + " characters"};
    const std::string modbusType = trimmedField(field(TagColumn::modbusType));
    if (auto known = choiceMatching(modbusTypes_, modbusType))
        pickModbusType(fields, *known);
    else if (!modbusType.empty())
        return Refusal{TagColumn::modbusType,
                       "The configuration has no ModBus type \"" + modbusType + "\""};
    const std::string dataType = trimmedField(field(TagColumn::dataType));
    if (auto known = choiceMatching(fields.dataTypeChoices, dataType))
        pickDataType(fields, *known);
    else if (!dataType.empty() && !fields.modbusType.empty())
        return Refusal{TagColumn::dataType,
                       "\"" + dataType + "\" is not a data type of " + fields.modbusType};
    fields.address = trimmedField(field(TagColumn::address));
    fields.comment = field(TagColumn::comment);
    if (utf8Length(fields.comment) > kItemCommentMaxLength)
        return Refusal{TagColumn::comment, "Comment is longer than " +
                                               std::to_string(kItemCommentMaxLength) +
                                               " characters"};
    if (auto refusal = fillBitAndElements(fields))
        return refusal;
    const std::string access = trimmedField(field(TagColumn::access));
    if (auto known = choiceMatching(fields.accessRightChoices, access))
        fields.accessRight = *known;
    else if (!access.empty() && !fields.modbusType.empty())
        return Refusal{TagColumn::access,
                       "\"" + access + "\" is not an access right of " + fields.modbusType};
    if (auto refusal = fillByteOrder(fields))
        return refusal;
    return fillScaling(fields);
}

std::optional<TagRowChecker::Refusal> TagRowChecker::fillBitAndElements(ItemFields& fields) const {
    const std::string bit = trimmedField(field(TagColumn::bit));
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
    const std::string elements = trimmedField(field(TagColumn::elements));
    if (fields.elementsEnabled)
        fields.elements = elements;
    else if (!elements.empty() && wholeValue(elements) != 0)
        return Refusal{TagColumn::elements,
                       "A number of elements applies only to arrays and strings, not to " +
                           fields.dataType};
    return std::nullopt;
}

std::optional<TagRowChecker::Refusal> TagRowChecker::fillByteOrder(ItemFields& fields) const {
    const std::string order = trimmedField(field(TagColumn::byteOrder));
    if (order.empty())
        return std::nullopt;
    std::optional<std::string> choice;
    for (const format::ByteOrderName& name : format::kByteOrders)
        if (lowerCase(order) == lowerCase(name.name) ||
            lowerCase(order) == lowerCase(format::byteOrderChoice(name)))
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

std::optional<TagRowChecker::Refusal> TagRowChecker::fillScaling(ItemFields& fields) const {
    const std::pair<TagColumn, std::string*> texts[]{{TagColumn::rawLow, &fields.rawLow},
                                                     {TagColumn::rawHigh, &fields.rawHigh},
                                                     {TagColumn::euLow, &fields.euLow},
                                                     {TagColumn::euHigh, &fields.euHigh},
                                                     {TagColumn::units, &fields.units}};
    for (const auto& [column, text] : texts) {
        const std::string given = trimmedField(field(column));
        if (given.empty())
            continue;
        if (!fields.scalingEnabled)
            return Refusal{column, format::scalingOnBitsOrTextMessage(format::Wording::dialog)};
        *text = given;
    }
    if (utf8Length(fields.units) > kItemUnitsMaxLength)
        return Refusal{TagColumn::units, "Units are longer than " +
                                             std::to_string(kItemUnitsMaxLength) + " characters"};
    return std::nullopt;
}

// The sibling-name rules: an item of that name is replaced, any other node refuses the
// name, and so does an earlier row.
std::optional<TagRowChecker::Refusal> TagRowChecker::checkKey(const std::string& key,
                                                              RowOutcome& outcome) const {
    auto planned = planned_.find(key);
    if (planned != planned_.end())
        return Refusal{
            TagColumn::name,
            planned->second.branch
                ? "Row " + std::to_string(planned->second.row) + " names a branch of that name here"
                : "The name appears already in row " + std::to_string(planned->second.row)};
    const TreeNode* node = state_.tree.find(key);
    if (node && node->tag != kTagItem)
        return Refusal{TagColumn::name, *keyTakenProblem(state_.tree, key, nullptr)};
    outcome = node ? RowOutcome::replace : RowOutcome::add;
    return std::nullopt;
}

} // namespace vorn::editor
