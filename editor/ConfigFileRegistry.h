// Where a server finds the configuration the editor saved for it: the registry value
// "ConfigFile" under the server kind's key.
#pragma once

#include <string>

namespace vorn {
class Registry;
}

namespace vorn::editor {

// "Software\VornAutomation\" followed by the server kind.
std::string serverRegistryKey(const std::string& serverKind);

// Stores `path` as the kind's "ConfigFile". A failure is not reported: the file was saved all
// the same, and the server can still be pointed at it by hand.
void storeConfigFilePath(Registry& registry, const std::string& serverKind,
                         const std::string& path);

} // namespace vorn::editor
