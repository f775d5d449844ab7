// Tag lists as CSV, for spreadsheets and PLC programming tools: the columns, one row per item,
// and the export of the items below a node. Reading a list back is TagCsvImport.h.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace vorn::editor {

struct EditorState;
struct TreeNode;

enum class TagColumn : size_t {
    path, // branches below the node exported or imported into, "/"-separated
    name,
    address,
    modbusType,
    dataType,
    bit,
    elements,
    access,
    comment,
    byteOrder,
    rawLow,
    rawHigh,
    euLow,
    euHigh,
    units,
};
inline constexpr size_t kTagColumnCount = 15;

struct TagColumnName {
    const char* header; // as the header row names it; read without regard to case
    bool required;      // a file whose header lacks it is not a tag list
};

// In the order an export writes them.
inline constexpr std::array<TagColumnName, kTagColumnCount> kTagColumns{{
    {"Path", false},
    {"Name", true},
    {"Address", true},
    {"ModbusType", true},
    {"DataType", true},
    {"Bit", false},
    {"Elements", false},
    {"Access", true},
    {"Comment", false},
    {"ByteOrder", false},
    {"RawLow", false},
    {"RawHigh", false},
    {"EuLow", false},
    {"EuHigh", false},
    {"Units", false},
}};

inline const char* headerOf(TagColumn column) {
    return kTagColumns[static_cast<size_t>(column)].header;
}

// The CSV of the items below `node` (a unit, a branch, or the root for the whole
// configuration), in the order of the tree and the saved file: UTF-8 with a BOM, a header
// row, comma separated. The path of an item exported from the root begins with its unit.
// Fields that do not apply to an item's data type stay empty.
std::string exportTagCsv(const EditorState& state, const TreeNode& node);
// As exportTagCsv, the item rows only, each one's fields in column order.
std::vector<std::vector<std::string>> tagRows(const EditorState& state, const TreeNode& node);

} // namespace vorn::editor
