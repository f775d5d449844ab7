#include "NodeListing.h"

#include "EditorState.h"

#include <algorithm>
#include <cctype>

namespace vorn::editor {
namespace {

const std::vector<ListColumn> kDeviceColumns{{"Unit Name", 0.5}, {"ModBus Unit Identifier", 0.4}};
const std::vector<ListColumn> kModbusTypeColumns{
    {"Data Type Name", 0.4}, {"Read Code", 0.2}, {"Write Code", 0.2}, {"Single Write Code", 0.2}};
const std::vector<ListColumn> kItemColumns{{"Item Name", 0.4},   {"Comment", 0.4},
                                           {"Address", 0.2},     {"DataType", 0.2},
                                           {"ModBus Type", 0.2}, {"Access Rights", std::nullopt}};

std::string cellOf(const ListRow& row, size_t column) {
    return column == 0 ? row.text : row.subItem(column);
}

bool lessNoCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](unsigned char x, unsigned char y) { return std::tolower(x) < std::tolower(y); });
}

} // namespace

NodeListing listingForNode(const EditorState& state, const TreeNode& node,
                           const std::vector<std::string>& largeIconKeys) {
    NodeListing listing;
    listing.list.largeIconKeys = largeIconKeys;
    ListView& list = listing.list;
    if (node.tag == kTagConfig) {
        listing.columns = kDeviceColumns;
        for (const auto& [key, device] : state.devices)
            device->AddToListView(list);
    } else if (node.tag == kTagModbus) {
        listing.columns = kModbusTypeColumns;
        for (const auto& [key, type] : state.modbusTypes)
            type->AddToListView(list);
    } else if (node.tag == kTagPlc) {
        listing.columns = kDeviceColumns;
        state.devices.item(node.key).AddToListView(list);
    } else if (node.tag == kTagBranch) {
        listing.columns = kItemColumns;
        listing.columns.push_back({"Index", 0.3});
        for (const TreeNode* child : node.children) {
            if (child->tag == kTagItem)
                state.items.item(child->key).AddToListView(list, true);
        }
    } else if (node.tag == kTagItem) {
        listing.columns = kItemColumns;
        state.items.item(node.key).AddToListView(list, false);
    }
    return listing;
}

void sortRowsAsText(std::vector<ListRow>& rows, size_t column) {
    std::stable_sort(rows.begin(), rows.end(), [column](const ListRow& a, const ListRow& b) {
        return lessNoCase(cellOf(a, column), cellOf(b, column));
    });
}

} // namespace vorn::editor
