// Where a server finds the configuration the editor saved for it: the registry value
// "ConfigFile" under the server kind's key.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vorn {
class Registry;
}

namespace vorn::editor {

// The server kind's key, spelt as the servers and the documentation spell it
// ("SOFTWARE\VornAutomation\Tarnvale").
std::string serverRegistryKey(const std::string& serverKind);

// Stores `path` as the kind's "ConfigFile", unless the registry names that file already (so
// saving to the file an installed registry names needs no right to write the registry).
// Returns why the registry could not be updated; the file was saved all the same.
std::optional<std::string> storeConfigFilePath(Registry& registry, const std::string& serverKind,
                                               const std::string& path);

// Maps the Rennick port `port` to `device` in the registry (COM1=/dev/ttyUSB0), as
// storeConfigFilePath stores the path.
std::optional<std::string> storeSerialDevice(Registry& registry, const std::string& port,
                                             const std::string& device);

// "NAME=VALUE under [KEY]", one of the entries a message asks to set by hand.
std::string registryEntryText(const std::string& key, const std::string& name,
                              const std::string& value);
// The message that tells the user what the server will not see, and what to set.
std::string registryNotUpdatedText(const Registry& registry, const std::string& problem,
                                   const std::vector<std::string>& entries);

} // namespace vorn::editor
