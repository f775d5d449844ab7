#include "NameRules.h"

#include "EditorError.h"
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

bool CheckNameChars(const std::string& name) {
    for (char refused : {' ', '.', ',', ':', ';', '\\', '/', '|'}) {
        if (name.find(refused) != std::string::npos) {
            showMessage(std::string("Character (") + refused + ") not acceptable in string " + name,
                        kEditorCaption, MessageIcon::none, MessageButtons::ok);
            return false;
        }
    }
    return true;
}

int NumericKeyFilter(int keyAscii) {
    bool accepted = (keyAscii >= '0' && keyAscii <= '9') || keyAscii == '-' || keyAscii == '.' ||
                    keyAscii == 8 || keyAscii == 9 || keyAscii == 10 || keyAscii == 13 ||
                    keyAscii == 32;
    return accepted ? keyAscii : 0;
}

} // namespace vorn::editor
