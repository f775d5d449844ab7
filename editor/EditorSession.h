// The main window's decisions without its widgets: the file commands (new, open, save, save
// as, close, exit) with their questions, what the list shows for the selected node, which
// command groups are enabled, and the saved path in the registry. The window presents this
// state and answers the dialogs through SessionHost.
#pragma once

#include "CommandGroups.h"
#include "EditorState.h"
#include "NodeListing.h"
#include "platform/Registry.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vorn::editor {

// What the commands ask of the window.
class SessionHost {
public:
    virtual ~SessionHost() = default;
    // The server-kind dialog, modal; none when it was closed without a choice.
    virtual std::optional<std::string> chooseServerKind() = 0;
    // The open dialog; empty when cancelled.
    virtual std::string chooseFileToOpen() = 0;
    // The save-as dialog proposing `fileName`; empty when cancelled.
    virtual std::string chooseFileToSaveAs(const std::string& fileName) = 0;
    // A file is being imported (the loading panel shows) / the import has ended.
    virtual void importStarted() = 0;
    virtual void importEnded() = 0;
    // The whole configuration was replaced or emptied: show the tree again.
    virtual void configurationChanged() = 0;
    // Save As gave the configuration another path (the root node's text).
    virtual void pathChanged() = 0;
    // The list's columns or rows, the selection or the enabling changed.
    virtual void selectionChanged() = 0;
    // A node's contents are about to be listed as a click on the node lists them: the list
    // shows them as a report.
    virtual void nodeListed() {}
};

// How a save asked for by another command ended.
enum class SaveOutcome { saved, declined, failed };

class EditorSession {
public:
    // New configurations are proposed in `programFolder`; saved paths go to `registry`.
    EditorSession(SessionHost& host, std::string programFolder, Registry registry);

    EditorState& state() { return state_; }
    const EditorState& state() const { return state_; }
    const std::string& currentPath() const { return currentPath_; }
    const CommandEnabling& enabling() const { return enabling_; }
    const NodeListing& listing() const { return listing_; }
    // Tree and list are shown (a configuration is open or being imported into them).
    bool configurationShown() const { return shown_; }
    bool importing() const { return importing_; }
    // The images of the list's large-icon view, in order; the first one shows Modbus types.
    void setLargeIconKeys(std::vector<std::string> keys) { largeIconKeys_ = std::move(keys); }

    // The commands, each a handler of its own (errors are shown naming it).
    void newConfiguration();
    void openConfiguration();
    SaveOutcome saveConfiguration();
    SaveOutcome saveConfigurationAs();
    void closeConfiguration();
    // Exit or closing the window; false when the window must stay open (a save it asked for
    // failed, and the user was told).
    bool exitRequested();

    // Structure commands, applied by the dialogs once their checks passed; each reports its
    // errors under the dialog's handler name and returns false then, with nothing changed.
    bool addDevice(std::shared_ptr<clsPLC> device);
    bool replaceDevice(TreeNode& node, std::shared_ptr<clsPLC> device);
    bool addBranch(TreeNode& parent, const std::string& name);
    bool renameBranch(TreeNode& node, const std::string& name);
    bool addModbusType(std::shared_ptr<clsModBusType> type);
    bool replaceModbusType(std::shared_ptr<clsModBusType> type);
    // Delete Object, with its question: the selected rows' items when the list has the focus
    // and a branch is selected, else the selected node.
    void deleteObject(bool listHasFocus, const std::vector<std::string>& selectedRowKeys);

    // Rennick's serial ports: the device a port stands for (one chosen in the unit dialog and
    // not saved yet, else the registry's mapping, else /dev/ttyS<n-1>), and a new choice, which
    // the next save writes to the registry beside ConfigFile; the file keeps the port's name.
    std::string serialDevice(const std::string& port) const;
    void chooseSerialDevice(const std::string& port, const std::string& device);

    void nodeClick(TreeNode& node);
    // A row of the list; nothing happens for a key without a node.
    void listRowClick(const std::string& key);
    // Sorts the list by `column` (0 = the first column), ascending, as text.
    void columnClick(size_t column);
    // After a structure change: the tree again, `node` selected, the list and the enabling
    // for `listed`. The clipboard commands use it too.
    void showChanged(TreeNode& node, TreeNode& listed);

private:
    // The question before a configuration is replaced or closed; false when the command stops.
    bool offerSave(const std::string& question);
    SaveOutcome save();
    SaveOutcome saveAs();
    bool writeTo(const std::string& path);
    // ConfigFile and the chosen ports' devices, after the file was saved to `path`.
    void storeRegistryValues(const std::string& path);
    void showNothing();
    void fillListing(const TreeNode& node);

    SessionHost& host_;
    std::string programFolder_;
    Registry registry_;
    EditorState state_;
    std::string currentPath_;
    CommandEnabling enabling_ = noConfigurationEnabling();
    NodeListing listing_;
    size_t sortColumn_ = 0;
    bool shown_ = false;
    bool importing_ = false;
    std::vector<std::string> largeIconKeys_;
    std::map<std::string, std::string> chosenDevices_; // port name -> device, until saved
};

} // namespace vorn::editor
