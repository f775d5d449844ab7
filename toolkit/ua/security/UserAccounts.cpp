#include "UserAccounts.h"

#include "toolkit/ua/security/Crypto.h"
#include "toolkit/ua/security/HexText.h"
#include "toolkit/ua/security/SecurityPolicy.h"

#include <cctype>
#include <charconv>

namespace vorn::ua::security {
namespace {

constexpr uint32_t kIterations = 200000;
constexpr uint32_t kMaxIterations = 10000000; // a stored figure beyond this is not ours
constexpr size_t kSaltLength = 16;
constexpr size_t kHashLength = 32;
constexpr std::string_view kScheme = "pbkdf2-sha256";

struct ParsedHash {
    uint32_t iterations = 0;
    std::string salt;
    std::string hash;
};

std::optional<ParsedHash> parseHash(std::string_view text) {
    auto next = [&text]() {
        size_t dollar = text.find('$');
        std::string_view part = text.substr(0, dollar);
        text = dollar == std::string_view::npos ? std::string_view() : text.substr(dollar + 1);
        return part;
    };
    if (next() != kScheme)
        return std::nullopt;
    ParsedHash parsed;
    std::string_view count = next();
    auto [end, error] =
        std::from_chars(count.data(), count.data() + count.size(), parsed.iterations);
    auto salt = fromHex(next());
    auto hash = fromHex(next());
    if (error != std::errc() || end != count.data() + count.size() || parsed.iterations == 0 ||
        parsed.iterations > kMaxIterations || !salt || !hash || hash->empty())
        return std::nullopt;
    parsed.salt = *salt;
    parsed.hash = *hash;
    return parsed;
}

} // namespace

const char* roleName(UserRole role) {
    return role == UserRole::read ? "read" : "readwrite";
}

std::optional<UserRole> roleFromName(std::string_view name) {
    if (name == "read")
        return UserRole::read;
    if (name == "readwrite")
        return UserRole::readWrite;
    return std::nullopt;
}

std::string hashPassword(std::string_view password) {
    std::string salt = randomBytes(kSaltLength);
    if (salt.empty())
        return {};
    std::string hash = pbkdf2Sha256(password, salt, kIterations, kHashLength);
    if (hash.empty())
        return {};
    return std::string(kScheme) + "$" + std::to_string(kIterations) + "$" + toHex(salt) + "$" +
           toHex(hash);
}

bool passwordMatches(std::string_view password, std::string_view passwordHash) {
    auto parsed = parseHash(passwordHash);
    if (!parsed)
        return false;
    std::string hash =
        pbkdf2Sha256(password, parsed->salt, parsed->iterations, parsed->hash.size());
    return !hash.empty() && equalInConstantTime(hash, parsed->hash);
}

std::string formatAccount(const UserAccount& account) {
    return std::string(roleName(account.role)) + ":" + account.passwordHash;
}

std::optional<UserAccount> parseAccount(std::string_view text) {
    size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    auto role = roleFromName(text.substr(0, colon));
    std::string_view hash = text.substr(colon + 1);
    while (!hash.empty() && (hash.back() == '\r' || hash.back() == ' '))
        hash.remove_suffix(1);
    if (!role || !parseHash(hash))
        return std::nullopt;
    return UserAccount{*role, std::string(hash)};
}

bool isValidUserName(std::string_view name) {
    if (name.empty() || name.size() > 64)
        return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-' &&
            c != '@')
            return false;
    return true;
}

std::optional<UserRole> authenticate(const UserDirectory& users, const std::string& name,
                                     std::string_view password) {
    static const std::string unknownUserHash = hashPassword("unknown user");
    auto account = users.find(name);
    const bool matches =
        passwordMatches(password, account ? account->passwordHash : unknownUserHash);
    if (!account || !matches)
        return std::nullopt;
    return account->role;
}

} // namespace vorn::ua::security
