// The fourteen groups in which the main window enables its menu entries and toolbar buttons
// (EnMenuButt), and which groups each selection enables. Decided here, without widgets, so the
// rules are tested headless; the window only applies them.
#pragma once

#include <array>
#include <initializer_list>
#include <optional>

namespace vorn::editor {

struct TreeNode;

// Group numbers, as the window's commands are grouped.
enum CommandGroup : int {
    kGroupFile = 1,          // menu File, New, Open
    kGroupSaveClose = 2,     // Save, Save As, Close
    kGroupAddModbusType = 3, // Add ModBus Type
    kGroupAddBranch = 4,
    kGroupAddItem = 5,
    kGroupAddUnit = 6,
    kGroupCopy = 7,
    kGroupCut = 8,
    kGroupPaste = 9,
    kGroupDelete = 10,
    kGroupView = 11,          // menu View and its four entries
    kGroupFind = 12,          // menu Tools, Find
    kGroupPasteNames = 13,    // Paste Item names from Clipboard
    kGroupPasteComments = 14, // Paste Item comments from Clipboard
};
inline constexpr int kCommandGroupCount = 14;

class CommandEnabling {
public:
    // Nothing enabled (while a file is imported).
    CommandEnabling() = default;
    // Exactly the groups listed.
    static CommandEnabling only(std::initializer_list<int> groups);

    // `group` is 1 to 14; anything else is off.
    bool enabled(int group) const;
    bool operator==(const CommandEnabling&) const = default;

    // A menu is enabled when any of its entries is.
    bool fileMenu() const { return enabled(kGroupFile); }
    bool objectsMenu() const;
    bool editMenu() const;
    bool viewMenu() const { return enabled(kGroupView); }
    bool toolsMenu() const { return enabled(kGroupFind); }

private:
    std::array<bool, kCommandGroupCount> on_{};
};

// No configuration: New, Open (Exit and About are never disabled).
CommandEnabling noConfigurationEnabling();
// A configuration just created or opened: file commands, Add Unit, Find.
CommandEnabling newConfigurationEnabling();
// A node selected in the tree, by its tag; a branch also by whether its first child is an item.
CommandEnabling enablingForNode(const TreeNode& node);
// A row clicked in the list, by the tag of the row's tree node; nothing for other nodes.
std::optional<CommandEnabling> enablingForListRow(const TreeNode& node);

} // namespace vorn::editor
