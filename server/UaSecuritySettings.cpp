#include "UaSecuritySettings.h"

#include "server/RegistryUserDirectory.h"
#include "toolkit/ua/security/PkiStore.h"

namespace vorn {

std::string uaApplicationUri(const std::string& hostName, const std::string& serverName) {
    return "urn:" + hostName + ":VornAutomation:" + serverName;
}

std::string uaPkiFolder(const Registry& registry, const std::string& key,
                        const std::string& serverName) {
    if (auto folder = registry.readString(key, "PkiFolder"); folder && !folder->empty())
        return *folder;
    return ua::security::PkiStore::defaultRoot(serverName).string();
}

bool readUaSecuritySettings(const Registry& registry, const std::string& key,
                            const std::string& serverName, const std::string& hostName,
                            ua::UaServerSettings& settings, std::string& error) {
    settings.serverName = serverName;
    settings.hostName = hostName;
    settings.applicationUri = uaApplicationUri(hostName, serverName);
    settings.users = std::make_shared<RegistryUserDirectory>(registry, key);
    settings.pkiFolder = uaPkiFolder(registry, key, serverName);
    auto policies = registry.readString(key, "SecurityPolicies");
    if (!policies) {
        settings.endpoints = ua::security::defaultEndpoints();
        return true;
    }
    std::vector<std::string> unknown;
    settings.endpoints = ua::security::parseEndpoints(*policies, &unknown);
    if (!unknown.empty()) {
        error = "the registry value SecurityPolicies names unknown entries:";
        for (const std::string& entry : unknown)
            error += " " + entry;
        return false;
    }
    if (settings.endpoints.empty()) {
        error = "the registry value SecurityPolicies names no endpoint";
        return false;
    }
    return true;
}

} // namespace vorn
