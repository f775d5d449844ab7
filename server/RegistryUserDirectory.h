// The OPC UA user accounts of a server in its registry file: one value per user under
// "<server key>\Users" ("name=<role>:<hash>"), and the values "AllowAnonymous" (default 1) and
// "AnonymousRole" (read or readwrite, default readwrite) under the server's key. Read at each
// use, so changes made while the server runs (vorn-users) take effect at the next login.
#pragma once

#include "platform/Registry.h"
#include "toolkit/ua/security/UserAccounts.h"

#include <string>

namespace vorn {

class RegistryUserDirectory : public ua::security::UserDirectory {
public:
    RegistryUserDirectory(Registry registry, std::string serverKey);

    std::optional<ua::security::UserAccount> find(const std::string& name) const override;
    bool allowAnonymous() const override;
    ua::security::UserRole anonymousRole() const override;

    static std::string usersKey(const std::string& serverKey) { return serverKey + "\\Users"; }

private:
    const Registry registry_;
    const std::string serverKey_;
};

} // namespace vorn
