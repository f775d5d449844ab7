// Replacing the names or comments of the selected items with the lines of the system
// clipboard, e.g. a column copied from a spreadsheet. The plan is made and checked before the
// user is asked; renames are checked as a whole before any is applied, so the paste is all or
// nothing and no item ever leaves its collection.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vorn::editor {

struct EditorState;

inline constexpr const char* kEmptyClipboardMessage = "Empty clipboard !";
inline constexpr const char* kInvalidSelectionMessage = "Invalid selection";
inline constexpr const char* kNameExistingMessage = "Name already existing";

// Lines end with CR LF or with LF alone; each is trimmed of leading and trailing blanks, and
// text after the last line end is ignored. A text without any line end is one line, untrimmed.
std::vector<std::string> clipboardLines(const std::string& text);

enum class ReplaceField { name, comment };

struct ReplaceRow {
    std::string key;         // the item's key
    std::string current;     // its name or comment now
    std::string replacement; // the clipboard line of the same position
};

struct ReplacePlan {
    ReplaceField field = ReplaceField::name;
    std::vector<ReplaceRow> rows;
    std::optional<std::string> refusal; // the message that stops the paste before it is shown
};

// The grid's header captions: first and third column.
std::pair<std::string, std::string> replaceHeaders(ReplaceField field);

// Reads `clipboardText` against the selected rows (item keys, in list order). Names are
// refused as a whole when one is empty, appears twice, or is the name of a node beside the
// items that is not itself renamed; then the number of lines must equal the number of rows.
ReplacePlan planReplace(const EditorState& state, ReplaceField field,
                        const std::string& clipboardText,
                        const std::vector<std::string>& selectedKeys);

struct ReplaceResult {
    size_t changed = 0;
    std::vector<std::string> skipped;   // one message per name refused for its characters
    std::optional<std::string> refusal; // set when nothing was changed
};

// After the user confirmed: every item of the plan gets its comment.
ReplaceResult applyComments(EditorState& state, const ReplacePlan& plan);
// After the user confirmed: a name with a refused character is skipped with its message; the
// others are renamed in two phases (all new keys checked, then applied), so A->B and B->A in
// one paste works. The item keeps its place in its collection and its node in the tree.
ReplaceResult applyNames(EditorState& state, const ReplacePlan& plan);

} // namespace vorn::editor
