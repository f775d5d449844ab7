// The OPC UA endpoints' security from the server's registry key: "SecurityPolicies" (which
// policy and mode pairs; default every secure one with Sign and SignAndEncrypt, plus None) and
// "PkiFolder" (default under the user's data folder), the application URI the server's
// certificate carries, and the user accounts (RegistryUserDirectory.h).
#pragma once

#include "platform/Registry.h"
#include "toolkit/ua/UaServer.h"

#include <string>

namespace vorn {

// urn:<host>:VornAutomation:<server>
std::string uaApplicationUri(const std::string& hostName, const std::string& serverName);

// The server's PKI folder: the registry value "PkiFolder" under its key, else the default in
// the user's data folder. The server and vorn-pki find it this one way.
std::string uaPkiFolder(const Registry& registry, const std::string& key,
                        const std::string& serverName);

// Fills the security part of `settings`. False with `error` when SecurityPolicies names
// entries the server does not know, or none at all.
[[nodiscard]] bool readUaSecuritySettings(const Registry& registry, const std::string& key,
                                          const std::string& serverName,
                                          const std::string& hostName,
                                          ua::UaServerSettings& settings, std::string& error);

} // namespace vorn
