#include "EditorSession.h"

#include "CommandHandler.h"
#include "ConfigExport.h"
#include "ConfigFileRegistry.h"
#include "ConfigImport.h"
#include "EditorError.h"
#include "ModbusTypeForm.h"
#include "ModelInsert.h"
#include "StructureEdits.h"
#include "fileformat/ConfigFormat.h"
#include "fileformat/SerialPorts.h"
#include "platform/MessageBox.h"

#include <filesystem>

namespace vorn::editor {
namespace {

const char* const kSaveActiveQuestion = "Do you want to save active configuration?";
const char* const kSaveThisQuestion = "Do you want to save this configuration?";

MessageAnswer ask(const std::string& text, MessageButtons buttons) {
    return showMessage(text, kEditorCaption, MessageIcon::question, buttons);
}

} // namespace

EditorSession::EditorSession(SessionHost& host, std::string programFolder, Registry registry)
    : host_(host), programFolder_(std::move(programFolder)), registry_(std::move(registry)) {}

void EditorSession::newConfiguration() {
    runHandler("mnuNewCfg_Click", [this] {
        if (!offerSave(kSaveActiveQuestion))
            return;
        // Closing the kind dialog cancels New before anything is reset.
        std::optional<std::string> kind = host_.chooseServerKind();
        if (!kind)
            return;
        state_.configOpen = false;
        state_.reset();
        chosenDevices_.clear();
        state_.serverKind = *kind;
        currentPath_ = (std::filesystem::path(programFolder_) / (*kind + ".xml")).string();
        state_.configOpen = true;
        state_.configSaved = false;
        state_.startConfiguration(currentPath_);
        // A new configuration can take items at once: the four standard Modbus types, in the
        // order every saved file lists them.
        for (const char* kind : {"input status", "input register", "coil", "holding register"})
            editor::addModbusType(state_, modbusTypeFromFields(fieldsForKind(kind)));
        listing_ = NodeListing{};
        shown_ = true;
        enabling_ = newConfigurationEnabling();
        host_.configurationChanged();
        host_.selectionChanged();
    });
}

void EditorSession::openConfiguration() {
    runHandler("mnuOpenCfg_Click", [this] {
        if (!offerSave(kSaveActiveQuestion))
            return;
        const std::string path = host_.chooseFileToOpen();
        if (path.empty())
            return;
        state_.configOpen = false;
        state_.configSaved = false;
        chosenDevices_.clear();
        state_.startConfiguration(path);
        currentPath_ = path;
        listing_ = NodeListing{};
        enabling_ = CommandEnabling();
        shown_ = false;
        importing_ = true;
        host_.configurationChanged();
        host_.selectionChanged();
        host_.importStarted();
        const bool imported = ImportXML(state_, path);
        importing_ = false;
        host_.importEnded();
        if (!imported) {
            // A rejected file leaves no configuration behind: nothing of it can be saved over
            // the file it came from.
            showNothing();
            return;
        }
        state_.countersFromCollections();
        state_.configOpen = true;
        state_.configSaved = true;
        shown_ = true;
        host_.configurationChanged();
        nodeClick(*state_.tree.root());
        enabling_ = newConfigurationEnabling();
        host_.selectionChanged();
    });
}

SaveOutcome EditorSession::saveConfiguration() {
    SaveOutcome outcome = SaveOutcome::failed;
    runHandler("mnuSaveCfg_Click", [&] { outcome = save(); });
    return outcome;
}

SaveOutcome EditorSession::saveConfigurationAs() {
    SaveOutcome outcome = SaveOutcome::failed;
    runHandler("mnuSaveAs_Click", [&] { outcome = saveAs(); });
    return outcome;
}

void EditorSession::closeConfiguration() {
    runHandler("mnuCloseCfg_Click", [this] {
        if (!offerSave(kSaveThisQuestion))
            return;
        showNothing();
    });
}

bool EditorSession::exitRequested() {
    bool mayClose = true;
    runHandler("Form_Unload", [&] {
        // No closes without saving; Cancel (and Escape), a save declined at its own question
        // or a failed save keep the window, so changes are never lost behind the user's back.
        if (!offerSave(kSaveActiveQuestion)) {
            mayClose = false;
            return;
        }
        state_.configOpen = false;
        state_.devices.clear();
        state_.items.clear();
    });
    return mayClose;
}

bool EditorSession::addDevice(std::shared_ptr<clsPLC> device) {
    return runHandler("cmdApply_Click", [&] {
        TreeNode& node = addNewDevice(state_, std::move(device));
        showChanged(node, node);
    });
}

bool EditorSession::replaceDevice(TreeNode& node, std::shared_ptr<clsPLC> device) {
    return runHandler("cmdApply_Click", [&] {
        editor::replaceDevice(state_, node, std::move(device));
        showChanged(node, node);
    });
}

bool EditorSession::addBranch(TreeNode& parent, const std::string& name) {
    return runHandler("cmdOk_Click", [&] {
        TreeNode& node = addNewBranch(state_, parent, name);
        showChanged(node, node);
    });
}

bool EditorSession::renameBranch(TreeNode& node, const std::string& name) {
    return runHandler("cmdOk_Click", [&] {
        editor::renameBranch(state_, node, name);
        showChanged(node, node);
    });
}

bool EditorSession::addModbusType(std::shared_ptr<clsModBusType> type) {
    return runHandler("cmdOk_Click", [&] {
        TreeNode& node = addNewModbusType(state_, std::move(type));
        showChanged(node, *node.parent);
    });
}

bool EditorSession::replaceModbusType(std::shared_ptr<clsModBusType> type) {
    return runHandler("cmdOk_Click", [&] {
        TreeNode* node = state_.tree.find(type->getName());
        editor::replaceModbusType(state_, std::move(type));
        showChanged(*node, *node->parent);
    });
}

void EditorSession::deleteObject(bool listHasFocus,
                                 const std::vector<std::string>& selectedRowKeys) {
    runHandler("mnuDelete_Click", [&] {
        TreeNode* selected = state_.tree.selected();
        if (!selected)
            return;
        if (listHasFocus && selected->tag == kTagBranch) {
            if (selectedRowKeys.empty() ||
                ask("Are you sure you want to delete the selected items ?",
                    MessageButtons::yesNo) != MessageAnswer::yes)
                return;
            for (const std::string& key : selectedRowKeys) {
                if (TreeNode* item = state_.tree.find(key); item && item->tag == kTagItem)
                    editor::deleteObject(state_, *item);
            }
            showChanged(*selected, *selected);
            return;
        }
        const std::string& name = selected->text;
        std::string question;
        if (selected->tag == kTagPlc)
            question = "Are you sure you want to delete " + name + "?";
        else if (selected->tag == kTagBranch)
            question = "Are you sure you want to delete " + name + " and all its items?";
        else if (selected->tag == kTagItem)
            question = "Are you sure you want to delete " + name + " ?";
        else
            return; // Modbus types, their folder and the root stay
        if (ask(question, MessageButtons::yesNo) != MessageAnswer::yes)
            return;
        if (selected->tag == kTagPlc && !selected->children.empty()) {
            showMessage("This unit is not empty", kEditorCaption, MessageIcon::none,
                        MessageButtons::ok);
            return;
        }
        TreeNode* parent = selected->parent;
        editor::deleteObject(state_, *selected);
        showChanged(*parent, *parent);
    });
}

void EditorSession::nodeClick(TreeNode& node) {
    runHandler("TreeView1_NodeClick", [&] {
        fillListing(node);
        enabling_ = enablingForNode(node);
        state_.tree.select(&node);
        host_.nodeListed();
        host_.selectionChanged();
    });
}

void EditorSession::listRowClick(const std::string& key) {
    runHandler("ListView1_Click", [&] {
        TreeNode* node = state_.tree.find(key);
        if (!node)
            return;
        if (std::optional<CommandEnabling> enabling = enablingForListRow(*node)) {
            enabling_ = *enabling;
            host_.selectionChanged();
        }
    });
}

void EditorSession::columnClick(size_t column) {
    runHandler("ListView1_ColumnClick", [&] {
        sortColumn_ = column;
        sortRowsAsText(listing_.list.rows, sortColumn_);
        host_.selectionChanged();
    });
}

bool EditorSession::offerSave(const std::string& question) {
    if (!state_.configOpen || state_.configSaved)
        return true;
    switch (ask(question, MessageButtons::yesNoCancel)) {
    case MessageAnswer::yes:
        return save() == SaveOutcome::saved;
    case MessageAnswer::no:
        return true;
    default:
        return false; // Cancel, or the box closed with Escape
    }
}

SaveOutcome EditorSession::save() {
    if (!state_.configOpen)
        return SaveOutcome::declined;
    std::error_code ignored;
    if (std::filesystem::exists(currentPath_, ignored)) {
        switch (ask("File " + currentPath_ + " already existing. Overwrite?",
                    MessageButtons::yesNoCancel)) {
        case MessageAnswer::no:
            return saveAs();
        case MessageAnswer::yes:
            break;
        default:
            return SaveOutcome::declined;
        }
    }
    if (!writeTo(currentPath_))
        return SaveOutcome::failed;
    showMessage(currentPath_ + " saved", kEditorCaption, MessageIcon::none, MessageButtons::ok);
    return SaveOutcome::saved;
}

SaveOutcome EditorSession::saveAs() {
    if (!state_.configOpen)
        return SaveOutcome::declined;
    const std::string path = host_.chooseFileToSaveAs(state_.serverKind + ".xml");
    if (path.empty())
        return SaveOutcome::declined;
    // The path changes only once the file is written: a failed save keeps the old one.
    if (!writeTo(path))
        return SaveOutcome::failed;
    currentPath_ = path;
    if (TreeNode* root = state_.tree.root())
        root->text = path;
    host_.pathChanged();
    return SaveOutcome::saved;
}

bool EditorSession::writeTo(const std::string& path) {
    if (!CreateXML(state_, path))
        return false; // reported by the writer, naming CreateXML
    state_.configSaved = true;
    storeRegistryValues(path);
    return true;
}

void EditorSession::storeRegistryValues(const std::string& path) {
    // The file is saved; a server not told about it, or about a port's device, would still
    // serve the old one. What cannot be written is said, with what to set by hand.
    std::string problem;
    std::vector<std::string> unwritten;
    auto note = [&](const std::optional<std::string>& failure, std::string entry) {
        if (!failure)
            return false;
        if (problem.empty())
            problem = *failure;
        unwritten.push_back(std::move(entry));
        return true;
    };
    const std::string key = serverRegistryKey(state_.serverKind);
    note(storeConfigFilePath(registry_, state_.serverKind, path),
         registryEntryText(key, format::kConfigFileValue, path));
    for (auto it = chosenDevices_.begin(); it != chosenDevices_.end();) {
        const auto& [port, device] = *it;
        const bool kept = note(storeSerialDevice(registry_, port, device),
                               registryEntryText(format::kRennickPortsRegistryKey, port, device));
        it = kept ? std::next(it) : chosenDevices_.erase(it);
    }
    if (!unwritten.empty())
        showMessage(registryNotUpdatedText(registry_, problem, unwritten), kEditorCaption,
                    MessageIcon::warning, MessageButtons::ok);
}

std::string EditorSession::serialDevice(const std::string& port) const {
    if (auto chosen = chosenDevices_.find(port); chosen != chosenDevices_.end())
        return chosen->second;
    return format::serialDeviceOf(registry_, port).path;
}

void EditorSession::chooseSerialDevice(const std::string& port, const std::string& device) {
    if (device.empty() || device == serialDevice(port))
        return;
    chosenDevices_[port] = device;
    state_.configSaved = false; // written with the next save
}

void EditorSession::showNothing() {
    chosenDevices_.clear();
    state_.configOpen = false;
    state_.configSaved = false;
    state_.reset();
    state_.devices.clear();
    state_.branches.clear();
    state_.items.clear();
    state_.modbusTypes.clear();
    currentPath_.clear();
    listing_ = NodeListing{};
    shown_ = false;
    enabling_ = noConfigurationEnabling();
    host_.configurationChanged();
    host_.selectionChanged();
}

void EditorSession::showChanged(TreeNode& node, TreeNode& listed) {
    state_.tree.ensureVisible(node);
    host_.configurationChanged();
    fillListing(listed);
    enabling_ = enablingForNode(listed);
    state_.tree.select(&node);
    host_.nodeListed();
    host_.selectionChanged();
}

void EditorSession::fillListing(const TreeNode& node) {
    listing_ = listingForNode(state_, node, largeIconKeys_);
    sortRowsAsText(listing_.list.rows, sortColumn_);
}

} // namespace vorn::editor
