#include "ConfigImport.h"

#include "ConnectionText.h"
#include "EditorError.h"
#include "EditorState.h"
#include "FileText.h"
#include "ModelInsert.h"
#include "fileformat/ConfigFormat.h"
#include "fileformat/Utf8Text.h"
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

// Bytes of another encoding in a file declared UTF-8, or a reference to no character.
constexpr const char* kNotUtf8 = "text that is not UTF-8 as the file declares (or no character) in";

void warnAt(EditorState& state, const DomNode& at, const std::string& text) {
    const size_t line = state.lineOf ? state.lineOf(at) : 0;
    state.openWarnings.push_back("line " + std::to_string(line) + ": " + text);
}

void showOpenWarnings(const EditorState& state, const std::string& path) {
    if (state.openWarnings.empty())
        return;
    std::string text = path + " is open. The servers read these entries otherwise than they "
                              "may look; what is saved is what the servers read:";
    for (const std::string& warning : state.openWarnings)
        text += "\n" + warning;
    showMessage(text, kEditorCaption, MessageIcon::warning, MessageButtons::ok);
}

// The servers serve the tags of two units of one name in one folder, each tag from its own
// unit, and of a path both units hold the first one's. The editor holds one node per name: the
// second unit is shown as "P1 (2)" and saved as "P1", so a save serves what was served, until
// the user renames it.
void showUnderNameOfItsOwn(EditorState& state, clsPLC& device, const DomNode& plcElement) {
    const std::string served = device.getName();
    std::string shown;
    for (int count = 2; shown.empty() || state.tree.find(shown); ++count)
        shown = served + " (" + std::to_string(count) + ")";
    warnAt(state, plcElement,
           "a second unit named \"" + served + "\" is shown as \"" + shown + "\" and saved as \"" +
               served + "\": the servers serve the tags of both units in one folder \"" + served +
               "\", each from its own unit, and of a tag both units name only the first unit's; "
               "rename it to serve it apart");
    device.setServedName(served);
    device.setName(shown);
    device.keyFromName();
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
    state.openWarnings.clear();
    state.lineOf = [&document](const DomNode& node) { return document.positionOf(node).line; };
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
    state.lineOf = nullptr;
    showOpenWarnings(state, path);
    return true;
}

} // namespace

bool ImportXML(EditorState& state, const std::string& path) {
    try {
        return importFile(state, path);
    } catch (const EditorError& error) {
        state.lineOf = nullptr;
        reportError(error, "ImportXML");
    } catch (const std::bad_alloc&) {
        state.lineOf = nullptr;
        reportError(EditorError(kErrOutOfMemory, "Out of memory"), "ImportXML");
    }
    return false;
}

void BrowsePlc(const DomNode& plcElement, EditorState& state) {
    auto device = std::make_shared<clsPLC>();
    device->SetByXml(plcElement, state.serverKind);
    checkImportedName(device->sKey(), "PLC");
    if (state.tree.find(device->sKey()))
        showUnderNameOfItsOwn(state, *device, plcElement);
    const std::string key = device->sKey();
    if (state.serverKind == format::kTarnvaleName && !isIpv4Address(device->getAddress()))
        warnAt(state, plcElement,
               "unit \"" + key + "\": address \"" + device->getAddress() +
                   "\" is read by the servers as " +
                   servedIpv4Address(device->getAddress()).value_or("?") +
                   " (a leading 0 makes a number octal); the unit dialog asks for a dotted quad");
    if (state.serverKind == format::kRennickName && !comPortNumber(device->getCom()))
        warnAt(state, plcElement,
               "unit \"" + key + "\": port \"" + device->getCom() +
                   "\" is served as it is (the registry may name its device); the unit dialog "
                   "offers COM1 to COM255");
    if (!format::isWellFormedUtf8(key)) {
        warnAt(state, plcElement,
               kNotUtf8 + std::string(" the name of a PLC; the servers leave "
                                      "it out with its tags, so does the "
                                      "editor"));
        return;
    }
    addDevice(state, std::move(device));
    // Rennick serves only the last "tags" of a device; Tarnvale serves them all.
    std::vector<DomNode> tagLists;
    for (DomNode tags = plcElement.firstChild(); !tags.isNull(); tags = tags.nextSibling()) {
        if (tags.isElement() && equalsNoCase(tags.name(), "TAGS"))
            tagLists.push_back(tags);
    }
    if (state.serverKind == format::kRennickName && tagLists.size() > 1) {
        for (size_t i = 0; i + 1 < tagLists.size(); ++i)
            warnAt(state, tagLists[i],
                   "PLC \"" + key +
                       "\": this <tags> is left out, as Rennick serves only a device's last "
                       "<tags>");
        tagLists.erase(tagLists.begin(), tagLists.end() - 1);
    }
    for (const DomNode& tags : tagLists) {
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
            if (state.items.contains(item->sKey)) {
                warnAt(state, current.element,
                       "a second tag " + item->sKey +
                           " is left out, as the servers serve the first");
                continue;
            }
            if (!format::isWellFormedUtf8(item->sName) ||
                !format::isWellFormedUtf8(item->sComment)) {
                warnAt(state, current.element,
                       kNotUtf8 + std::string(" the name or comment of a tag under ") + parentKey +
                           "; the servers leave it out, so does the editor");
                continue;
            }
            addItem(state, *current.parent, std::move(item));
            state.advanceProgress();
            continue;
        }
        if (current.depth > kMaxBranchDepth) {
            warnAt(state, current.element,
                   "branch \"" + current.element.name() + "\" under " + parentKey +
                       " is left out with its content, as the servers load " +
                       std::to_string(kMaxBranchDepth) + " branch levels");
            continue;
        }
        auto branch = std::make_shared<clsBranch>();
        branch->build(current.element, parentKey);
        checkImportedName(branch->sName, "branch under " + parentKey);
        // A branch named twice is one branch to the servers, holding the content of both.
        TreeNode* existing = state.tree.find(branch->sKey);
        if (existing && existing->tag == kTagBranch)
            warnAt(state, current.element,
                   "branch " + branch->sKey +
                       " appears again; its content joins the first one's, "
                       "as the servers serve it");
        TreeNode& node = existing && existing->tag == kTagBranch
                             ? *existing
                             : addBranch(state, *current.parent, std::move(branch));
        std::vector<DomNode> children = current.element.children();
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            if (it->isElement())
                pending.push_back({*it, &node, current.depth + 1});
        }
    }
}

} // namespace vorn::editor
