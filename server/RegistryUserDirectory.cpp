#include "RegistryUserDirectory.h"

namespace vorn {

RegistryUserDirectory::RegistryUserDirectory(Registry registry, std::string serverKey)
    : registry_(std::move(registry)), serverKey_(std::move(serverKey)) {}

std::optional<ua::security::UserAccount>
RegistryUserDirectory::find(const std::string& name) const {
    if (!ua::security::isValidUserName(name))
        return std::nullopt;
    auto text = registry_.readString(usersKey(serverKey_), name);
    return text ? ua::security::parseAccount(*text) : std::nullopt;
}

bool RegistryUserDirectory::allowAnonymous() const {
    auto text = registry_.readString(serverKey_, "AllowAnonymous");
    return !text || text->empty() || *text != "0";
}

ua::security::UserRole RegistryUserDirectory::anonymousRole() const {
    auto text = registry_.readString(serverKey_, "AnonymousRole");
    auto role = text ? ua::security::roleFromName(*text) : std::nullopt;
    // An unknown role gives the lesser rights.
    if (text && !role)
        return ua::security::UserRole::read;
    return role.value_or(ua::security::UserRole::readWrite);
}

} // namespace vorn
