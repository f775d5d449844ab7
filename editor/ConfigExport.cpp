#include "ConfigExport.h"

#include "EditorError.h"
#include "EditorState.h"
#include "FileText.h"
#include "NameRules.h"
#include "fileformat/ConfigFormat.h"
#include "platform/AtomicFile.h"

#include <new>
#include <vector>

namespace vorn::editor {
namespace {

// A branch is written as an element named after it.
void checkBranchName(const std::string& name) {
    if (!isWritableBranchName(name))
        throw EditorError(kErrInvalidValue, "Invalid property value: branch name \"" + name +
                                                "\" cannot be written as an XML element name");
}

} // namespace

void PrintBranch(std::string& out, const EditorState& state, const TreeNode& node, int level) {
    // An explicit stack of open branches, so deep nesting cannot exhaust the call stack.
    struct Open {
        const TreeNode* node;
        size_t next;
        int level;
    };
    std::vector<Open> open{{&node, 0, level}};
    while (!open.empty()) {
        Open& top = open.back();
        if (top.next == top.node->children.size()) {
            const TreeNode* closed = top.node;
            int childLevel = top.level;
            open.pop_back();
            if (!open.empty())
                out += indent(childLevel - 1) + "</" + fileText(closed->text) + ">" + kLineEnd;
            continue;
        }
        const TreeNode* child = top.node->children[top.next++];
        int childLevel = top.level;
        if (child->tag == kTagItem) {
            out += state.items.item(child->key).GetXmlTag(childLevel);
        } else {
            checkBranchName(child->text);
            out += indent(childLevel) + "<" + fileText(child->text) + ">" + kLineEnd;
            open.push_back({child, 0, childLevel + 1});
        }
    }
}

std::string configurationText(const EditorState& state) {
    if (state.serverKind != format::kTarnvaleName && state.serverKind != format::kRennickName)
        throw EditorError(kErrInvalidValue,
                          "Invalid property value: server kind \"" + state.serverKind + "\"");
    const bool tcp = state.serverKind == format::kTarnvaleName;
    const std::string root = tcp ? format::kTarnvaleRoot : format::kRennickRoot;
    std::string out = std::string("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>") + kLineEnd;
    out += "<" + root + ">" + kLineEnd;
    out += indent(1) + "<MODBUS>" + kLineEnd;
    for (const auto& [key, type] : state.modbusTypes)
        out += type->GetXmlTag();
    out += indent(1) + "</MODBUS>" + kLineEnd;
    out += indent(1) + "<OPC_DA>" + kLineEnd;
    for (const auto& [key, device] : state.devices) {
        out += device->GetXmlTag(state.serverKind);
        out += indent(3) + "<tags>" + kLineEnd;
        const TreeNode* node = state.tree.find(device->sKey());
        if (!node)
            throw EditorError(kErrElementNotFound, "Element not found: " + device->sKey());
        PrintBranch(out, state, *node, 4);
        out += indent(3) + "</tags>" + kLineEnd;
        out += indent(2) + "</PLC>" + kLineEnd;
    }
    out += indent(1) + "</OPC_DA>" + kLineEnd;
    out += "</" + root + ">" + kLineEnd;
    return out;
}

bool CreateXML(const EditorState& state, const std::string& path) {
    try {
        // The file keeps its owner, group and mode: a plant file the service reads stays
        // readable to it whoever saves it.
        if (auto problem = writeFileAtomically(path, configurationText(state), kSharedFileMode))
            throw EditorError(kErrFileAccess, "Path/File access error: " + *problem);
        return true;
    } catch (const EditorError& error) {
        reportError(error, "CreateXML");
    } catch (const std::bad_alloc&) {
        reportError(EditorError(kErrOutOfMemory, "Out of memory"), "CreateXML");
    }
    return false;
}

} // namespace vorn::editor
