#include "ConfigFileRegistry.h"

#include "platform/Registry.h"

namespace vorn::editor {

std::string serverRegistryKey(const std::string& serverKind) {
    return "Software\\VornAutomation\\" + serverKind;
}

void storeConfigFilePath(Registry& registry, const std::string& serverKind,
                         const std::string& path) {
    (void)registry.writeString(serverRegistryKey(serverKind), "ConfigFile", path);
}

} // namespace vorn::editor
