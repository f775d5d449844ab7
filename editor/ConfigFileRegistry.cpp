#include "ConfigFileRegistry.h"

#include "fileformat/ConfigFormat.h"
#include "fileformat/SerialPorts.h"
#include "platform/Registry.h"

namespace vorn::editor {
namespace {

// Writes the value unless the registry holds it already; why it could not, if it could not.
std::optional<std::string> storeValue(Registry& registry, const std::string& key,
                                      const std::string& name, const std::string& value) {
    if (registry.readString(key, name) == value)
        return std::nullopt;
    if (registry.writeString(key, name, value))
        return std::nullopt;
    return registry.writeError();
}

} // namespace

std::string serverRegistryKey(const std::string& serverKind) {
    return format::registryKeyOf(serverKind == format::kRennickName ? format::ServerKind::rennick
                                                                    : format::ServerKind::tarnvale);
}

std::optional<std::string> storeConfigFilePath(Registry& registry, const std::string& serverKind,
                                               const std::string& path) {
    return storeValue(registry, serverRegistryKey(serverKind), format::kConfigFileValue, path);
}

std::optional<std::string> storeSerialDevice(Registry& registry, const std::string& port,
                                             const std::string& device) {
    return storeValue(registry, format::kRennickPortsRegistryKey, port, device);
}

std::string registryEntryText(const std::string& key, const std::string& name,
                              const std::string& value) {
    return name + "=" + value + " under [" + key + "]";
}

std::string registryNotUpdatedText(const Registry& registry, const std::string& problem,
                                   const std::vector<std::string>& entries) {
    std::string text = "The registry file " + registry.path() + " could not be updated (" +
                       problem + "). Ask whoever administers it to set ";
    for (size_t i = 0; i < entries.size(); ++i)
        text += (i == 0 ? "" : i + 1 == entries.size() ? " and " : ", ") + entries[i];
    return text + ".";
}

} // namespace vorn::editor
