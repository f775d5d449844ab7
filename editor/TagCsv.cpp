#include "TagCsv.h"

#include "ByteOrderChoices.h"
#include "CsvText.h"
#include "EditorState.h"
#include "ItemForm.h"

namespace vorn::editor {
namespace {

std::vector<std::string> rowOf(const clsItem& item, const std::string& path) {
    // The dialog's fields decide what applies, so the columns show what the dialog shows.
    const ItemFields fields = fieldsOf(item);
    std::vector<std::string> row(kTagColumnCount);
    auto set = [&row](TagColumn column, std::string text) {
        row[static_cast<size_t>(column)] = std::move(text);
    };
    set(TagColumn::path, path);
    set(TagColumn::name, item.sName);
    set(TagColumn::address, fields.address);
    set(TagColumn::modbusType, fields.modbusType);
    set(TagColumn::dataType, fields.dataType);
    set(TagColumn::bit, fields.bitEnabled ? fields.bit : "");
    set(TagColumn::elements, fields.elementsEnabled ? fields.elements : "");
    set(TagColumn::access, fields.accessRight);
    set(TagColumn::comment, fields.comment);
    set(TagColumn::byteOrder, byteOrderOfChoice(fields.byteOrder));
    set(TagColumn::rawLow, fields.rawLow);
    set(TagColumn::rawHigh, fields.rawHigh);
    set(TagColumn::euLow, fields.euLow);
    set(TagColumn::euHigh, fields.euHigh);
    set(TagColumn::units, fields.units);
    return row;
}

} // namespace

std::vector<std::vector<std::string>> tagRows(const EditorState& state, const TreeNode& node) {
    std::vector<std::vector<std::string>> rows;
    // An explicit stack, so deep nesting cannot exhaust the call stack.
    struct Open {
        const TreeNode* node;
        size_t next;
        std::string path;
    };
    std::vector<Open> open{{&node, 0, ""}};
    while (!open.empty()) {
        Open& top = open.back();
        if (top.next == top.node->children.size()) {
            open.pop_back();
            continue;
        }
        const TreeNode* child = top.node->children[top.next++];
        if (child->tag == kTagItem) {
            rows.push_back(rowOf(state.items.item(child->key), top.path));
        } else if (child->tag == kTagPlc || child->tag == kTagBranch) {
            std::string path = top.path.empty() ? child->text : top.path + "/" + child->text;
            // Items directly under a unit have an empty path when the unit is exported.
            if (child->tag == kTagPlc && node.tag != kTagConfig)
                path.clear();
            open.push_back({child, 0, std::move(path)});
        }
    }
    return rows;
}

std::string exportTagCsv(const EditorState& state, const TreeNode& node) {
    std::vector<std::string> header;
    for (const TagColumnName& column : kTagColumns)
        header.emplace_back(column.header);
    std::string text(kUtf8Bom);
    text += csvLine(header);
    for (const std::vector<std::string>& row : tagRows(state, node))
        text += csvLine(row);
    return text;
}

} // namespace vorn::editor
