// The editor-wide state: the open configuration's server kind and flags, the four keyed
// collections of objects, the tree that mirrors them, counters and the item clipboard.
// One instance per editor, owned by the main window; touched on the main thread only.
#pragma once

#include "KeyedCollection.h"
#include "NodeTree.h"
#include "clsBranch.h"
#include "clsItem.h"
#include "clsModBusType.h"
#include "clsPLC.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vorn::editor {

struct EditorState {
    std::string serverKind; // format::kTarnvaleName or format::kRennickName
    bool configOpen = false;
    bool configSaved = false;

    KeyedCollection<clsPLC> devices;
    KeyedCollection<clsBranch> branches;
    KeyedCollection<clsItem> items;
    KeyedCollection<clsModBusType> modbusTypes;
    NodeTree tree;

    // 32 bits: a file may hold far more than 32,767 objects of a kind.
    int32_t deviceCounter = 0;
    int32_t branchCounter = 0;
    int32_t itemCounter = 0;
    int32_t typeCounter = 0;

    std::vector<std::shared_ptr<clsItem>> itemClipboard; // what Copy or Cut took, in order
    int32_t copyCounter = 1;

    bool editDevice = false;
    bool editBranch = false;
    bool editItem = false;
    bool editType = false;
    bool deviceAdded = false;
    bool branchAdded = false;
    bool itemAdded = false;
    bool typeChanged = false;

    // What the last Open found that the servers read otherwise than a quick look suggests
    // ("line 12: ..."), shown to the user once the file is open.
    std::vector<std::string> openWarnings;
    // The line of an element of the file being opened; set while it is read.
    std::function<size_t(const DomNode&)> lineOf;

    // Import progress in percent, 0..99, wrapping; the window shows it and processes events.
    int progress = 0;
    std::function<void(int)> progressChanged;

    // InitObjects: empties the tree and the clipboard; copy counter back to 1.
    void reset();
    // Fresh empty collections and a tree holding the root (text = file path) and the Modbus
    // types folder, as for a new configuration or before an import.
    void startConfiguration(const std::string& path);
    // Counters after a file was opened: each collection's count plus 1.
    void countersFromCollections();
    void advanceProgress();
};

} // namespace vorn::editor
