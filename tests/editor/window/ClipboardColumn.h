// The system clipboard in window tests, and pasting a column of names the way a user does
// after copying it from a spreadsheet.
#pragma once

#include "WindowRig.h"
#include "editor/ClipboardCommands.h"

#include <QStringList>
#include <string>
#include <vector>

namespace vorn::editor::test {

// Text the test puts on the clipboard; counts how often the editor cleared it.
class ScriptedClipboard : public TextClipboard {
public:
    std::string content;
    int clears = 0;

    std::string text() override { return content; }
    void clear() override {
        content.clear();
        ++clears;
    }
};

// The window reads `clipboard` instead of the system's while this lives.
class UseClipboard {
public:
    UseClipboard(WindowRig& rig, ScriptedClipboard& clipboard);
    ~UseClipboard();
    UseClipboard(const UseClipboard&) = delete;
    UseClipboard& operator=(const UseClipboard&) = delete;

private:
    WindowRig& rig_;
};

// Selects the node `branchKey` in the tree, clicks the first of the rows `rowKeys` in the list
// and selects the others too; the list gets the focus.
void selectRows(WindowRig& rig, const std::string& branchKey,
                const std::vector<std::string>& rowKeys);

// Pastes `names` as the new names of the items `rowKeys` of the branch `branchKey`, the first
// name to the highest of them in the list (sorted by name unless a column was clicked): the names
// go onto the clipboard one per line (CR LF), the rows are selected, Paste Item names from
// Clipboard runs and YES is pressed in the replace grid. Returns the grid's rows as "current <---
// new" (empty when the grid did not come up).
QStringList pasteNamesFromColumn(WindowRig& rig, const std::string& branchKey,
                                 const std::vector<std::string>& rowKeys,
                                 const std::vector<std::string>& names);

} // namespace vorn::editor::test
