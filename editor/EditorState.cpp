#include "EditorState.h"

namespace vorn::editor {

void EditorState::reset() {
    tree.clear();
    itemClipboard.clear();
    copyCounter = 1;
}

void EditorState::startConfiguration(const std::string& path) {
    devices.clear();
    branches.clear();
    items.clear();
    modbusTypes.clear();
    deviceCounter = branchCounter = itemCounter = typeCounter = 0;
    TreeNode& root = tree.resetWithRoot(path);
    TreeNode& folder = tree.add(root, kModBusFolderKey, kModBusFolderKey, kTagModbus, "main");
    tree.ensureVisible(folder);
    tree.select(&root);
    progress = 0;
    openWarnings.clear();
}

void EditorState::countersFromCollections() {
    auto next = [](size_t count) { return static_cast<int32_t>(count + 1); };
    deviceCounter = next(devices.size());
    branchCounter = next(branches.size());
    itemCounter = next(items.size());
    typeCounter = next(modbusTypes.size());
}

void EditorState::advanceProgress() {
    progress = (progress + 1) % 100;
    if (progressChanged)
        progressChanged(progress);
}

} // namespace vorn::editor
