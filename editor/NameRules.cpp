#include "NameRules.h"

#include "EditorError.h"
#include "FileText.h"
#include "NodeTree.h"
#include "platform/MessageBox.h"

#include <cstdint>
#include <vector>

namespace vorn::editor {

bool CheckDuplNames(const std::string& tag, const std::string& name, const NodeTree& tree,
                    bool useParent) {
    const TreeNode* selected = tree.selected();
    if (!selected)
        return true;
    const TreeNode* owner = useParent ? selected->parent : selected;
    if (!owner)
        return true;
    for (const TreeNode* child : owner->children) {
        if (child != selected && child->tag == tag && child->text == name) {
            showMessage("Name already existing. Please use a different name", kEditorCaption,
                        MessageIcon::none, MessageButtons::ok);
            return false;
        }
    }
    return true;
}

std::optional<std::string> nameCharsProblem(const std::string& name, bool blankAllowed) {
    for (char refused : {' ', '.', ',', ':', ';', '\\', '/', '|'}) {
        if (refused == ' ' && blankAllowed)
            continue;
        if (name.find(refused) != std::string::npos)
            return std::string("Character (") + refused + ") not acceptable in string " + name;
    }
    return std::nullopt;
}

bool CheckNameChars(const std::string& name) {
    if (std::optional<std::string> problem = nameCharsProblem(name)) {
        showMessage(*problem, kEditorCaption, MessageIcon::none, MessageButtons::ok);
        return false;
    }
    return true;
}

namespace {

// A branch is written as an element name of an ISO-8859-1 file: its characters must be XML
// name characters that the file's encoding can carry (no character reference is allowed in a
// name), so ASCII letters and the accented letters U+00C0 to U+00FF but for the two signs.
bool isNameStart(uint32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
           (c >= 0xC0 && c <= 0xFF && c != 0xD7 && c != 0xF7);
}

bool isNameChar(uint32_t c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == 0xB7;
}

// The code points of UTF-8 text up to U+00FF; nullopt for anything else or malformed text.
std::optional<std::vector<uint32_t>> latin1CodePoints(const std::string& utf8) {
    std::vector<uint32_t> points;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            points.push_back(lead);
            continue;
        }
        // U+0080..U+00FF are the two-byte sequences led by 0xC2 and 0xC3.
        if ((lead != 0xC2 && lead != 0xC3) || i + 1 == utf8.size())
            return std::nullopt;
        const auto next = static_cast<unsigned char>(utf8[++i]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        points.push_back(((lead & 0x1Fu) << 6) | (next & 0x3Fu));
    }
    return points;
}

} // namespace

bool isWritableBranchName(const std::string& name) {
    const std::optional<std::vector<uint32_t>> points = latin1CodePoints(name);
    bool valid = points && !points->empty() && isNameStart(points->front());
    for (size_t i = 1; valid && i < points->size(); ++i)
        valid = isNameChar((*points)[i]);
    return valid && !equalsNoCase(name, "tag");
}

std::optional<std::string> keyTakenProblem(const NodeTree& tree, const std::string& key,
                                           const TreeNode* self) {
    const TreeNode* holder = tree.find(key);
    if (holder && holder != self)
        return std::string("Name already existing. Please use a different name");
    return std::nullopt;
}

int NumericKeyFilter(int keyAscii) {
    bool accepted = (keyAscii >= '0' && keyAscii <= '9') || keyAscii == '-' || keyAscii == '.' ||
                    keyAscii == 8 || keyAscii == 9 || keyAscii == 10 || keyAscii == 13 ||
                    keyAscii == 32;
    return accepted ? keyAscii : 0;
}

} // namespace vorn::editor
