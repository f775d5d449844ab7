#include "NameRules.h"

#include "EditorError.h"
#include "FileText.h"
#include "NodeTree.h"
#include "platform/MessageBox.h"

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

bool isNameStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}

bool isNameChar(unsigned char c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

} // namespace

bool isWritableBranchName(const std::string& name) {
    bool valid = !name.empty() && isNameStart(static_cast<unsigned char>(name[0]));
    for (size_t i = 1; valid && i < name.size(); ++i)
        valid = isNameChar(static_cast<unsigned char>(name[i]));
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
