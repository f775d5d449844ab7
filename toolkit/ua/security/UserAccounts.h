// User accounts: a role and a salted, slow password hash (PBKDF2-SHA256), kept as one text
// "<role>:pbkdf2-sha256$<iterations>$<salt hex>$<hash hex>" per user; and where the server
// finds them (the server program gives a directory that reads them at each use, so account
// changes need no restart). Passwords are never kept or shown in clear.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorn::ua::security {

enum class UserRole { read, readWrite };

// "read" and "readwrite", as the accounts and the registry value AnonymousRole spell them.
const char* roleName(UserRole role);
std::optional<UserRole> roleFromName(std::string_view name);

struct UserAccount {
    UserRole role = UserRole::read;
    std::string passwordHash;
};

// A new hash with a fresh salt; empty when the system gives no random bytes.
std::string hashPassword(std::string_view password);
// Whether `password` gives `passwordHash` (compared in constant time).
bool passwordMatches(std::string_view password, std::string_view passwordHash);

std::string formatAccount(const UserAccount& account);
std::optional<UserAccount> parseAccount(std::string_view text);

// Account names: 1 to 64 letters, digits, '.', '_', '-' or '@'.
bool isValidUserName(std::string_view name);

class UserDirectory {
public:
    virtual ~UserDirectory() = default;
    virtual std::optional<UserAccount> find(const std::string& name) const = 0;
    virtual bool allowAnonymous() const = 0;
    virtual UserRole anonymousRole() const = 0;
};

// The role of the account `name` when `password` is its password, else nothing. An unknown
// name costs the same hash as a known one, so the time taken does not tell names apart. Slow
// by design (the password hash); the caller delays a refusal as its protocol wants.
std::optional<UserRole> authenticate(const UserDirectory& users, const std::string& name,
                                     std::string_view password);

} // namespace vorn::ua::security
