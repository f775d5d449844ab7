#include "ConfigImport.h"

#include "EditorError.h"
#include "EditorState.h"
#include "FileText.h"
#include "ModelInsert.h"
#include "fileformat/ConfigFormat.h"
#include "platform/MessageBox.h"

#include <filesystem>
#include <new>

namespace vorn::editor {
namespace {

// Keys are dotted paths, so a name holding "." (possible in an XML element name) would
// make an object that cannot be found from its parent.
void checkImportedName(const std::string& name, const std::string& what) {
    if (name.empty())
        throw EditorError(kErrInvalidValue, "Invalid property value: " + what + " without a name");
    if (name.find('.') != std::string::npos)
        throw EditorError(kErrInvalidValue, "Invalid property value: " + what + " name \"" + name +
                                                "\" contains \".\"");
}

void importModbusTypes(const DomNode& modbus, EditorState& state) {
    for (DomNode child = modbus.firstChild(); !child.isNull(); child = child.nextSibling()) {
        if (!child.isElement() || !equalsNoCase(child.name(), "DATATYPE"))
            continue;
        auto type = std::make_shared<clsModBusType>();
        type->SetByXml(child);
        addModbusType(state, std::move(type));
    }
}

const char* serverKindOfRoot(const std::string& rootName) {
    if (equalsNoCase(rootName, "VORNMODBUSTCPIPCFG"))
        return format::kTarnvaleName;
    if (equalsNoCase(rootName, "VORNMODBUSRTUCFG"))
        return format::kRennickName;
    return nullptr;
}

// False when the root is of neither kind (reported here in a box of its own).
bool importFile(EditorState& state, const std::string& path) {
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored))
        throw EditorError(kErrFileNotFound, "File not found: " + path);
    DomDocument document;
    if (!document.load(path))
        throw EditorError(kErrBadFileFormat,
                          "Invalid file format: " + path + ": " + document.parseError());
    DomNode root;
    for (const DomNode& node : document.topLevelNodes()) {
        if (node.isElement()) {
            root = node;
            break;
        }
    }
    const char* kind = root.isNull() ? nullptr : serverKindOfRoot(root.name());
    if (!kind) {
        showMessage("The configuration file is not valid.", kEditorCaption, MessageIcon::none,
                    MessageButtons::ok);
        return false;
    }
    state.serverKind = kind;
    if (!state.tree.root())
        state.startConfiguration(path);
    for (DomNode child = root.firstChild(); !child.isNull(); child = child.nextSibling()) {
        if (!child.isElement())
            continue;
        if (equalsNoCase(child.name(), "MODBUS")) {
            importModbusTypes(child, state);
        } else if (equalsNoCase(child.name(), "OPC_DA")) {
            for (DomNode plc = child.firstChild(); !plc.isNull(); plc = plc.nextSibling()) {
                if (plc.isElement() && equalsNoCase(plc.name(), "PLC"))
                    BrowsePlc(plc, state);
            }
        }
    }
    return true;
}

} // namespace

bool ImportXML(EditorState& state, const std::string& path) {
    try {
        return importFile(state, path);
    } catch (const EditorError& error) {
        reportError(error, "ImportXML");
    } catch (const std::bad_alloc&) {
        reportError(EditorError(kErrOutOfMemory, "Out of memory"), "ImportXML");
    }
    return false;
}

void BrowsePlc(const DomNode& plcElement, EditorState& state) {
    auto device = std::make_shared<clsPLC>();
    device->SetByXml(plcElement, state.serverKind);
    const std::string key = device->sKey();
    checkImportedName(key, "PLC");
    addDevice(state, std::move(device));
    for (DomNode tags = plcElement.firstChild(); !tags.isNull(); tags = tags.nextSibling()) {
        if (!tags.isElement() || !equalsNoCase(tags.name(), "TAGS"))
            continue;
        for (DomNode child = tags.firstChild(); !child.isNull(); child = child.nextSibling()) {
            if (child.isElement())
                BrowseBranch(child, state, key);
        }
    }
}

void BrowseBranch(const DomNode& element, EditorState& state, const std::string& deviceKey) {
    TreeNode* deviceNode = state.tree.find(deviceKey);
    if (!deviceNode)
        throw EditorError(kErrElementNotFound, "Element not found: " + deviceKey);

    // Depth first in document order with an explicit stack, so deep nesting cannot exhaust
    // the call stack.
    struct Pending {
        DomNode element;
        TreeNode* parent;
        int depth;
    };
    std::vector<Pending> pending{{element, deviceNode, 1}};
    while (!pending.empty()) {
        Pending current = pending.back();
        pending.pop_back();
        const std::string& parentKey = current.parent->key;
        if (equalsNoCase(current.element.name(), "TAG")) {
            auto item = std::make_shared<clsItem>();
            item->SetByXml(current.element, parentKey);
            checkImportedName(item->sName, "tag under " + parentKey);
            addItem(state, *current.parent, std::move(item));
            state.advanceProgress();
            continue;
        }
        if (current.depth > kMaxBranchDepth)
            throw EditorError(kErrNestingTooDeep, "Out of stack space: branches nested more than " +
                                                      std::to_string(kMaxBranchDepth) +
                                                      " levels deep under device " + deviceKey);
        auto branch = std::make_shared<clsBranch>();
        branch->build(current.element, parentKey);
        checkImportedName(branch->sName, "branch under " + parentKey);
        TreeNode& node = addBranch(state, *current.parent, std::move(branch));
        std::vector<DomNode> children = current.element.children();
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            if (it->isElement())
                pending.push_back({*it, &node, current.depth + 1});
        }
    }
}

} // namespace vorn::editor
