// vorn-users: the OPC UA user accounts of Tarnvale or Rennick, in the registry file the servers
// read (same rules: $VORN_REGISTRY, else the user's config folder).
//   vorn-users add NAME --role read|readwrite --server Tarnvale|Rennick
//   vorn-users passwd NAME --server ...     vorn-users remove NAME --server ...
//   vorn-users list --server ...
//   vorn-users mqtt-password --server ...
// Passwords are read without echo (or one line of standard input) and stored only as salted
// PBKDF2-SHA256 hashes. The MQTT broker's password, which the server must send, goes into a file
// of its own that only its owner may read (MqttPasswordFile, else broker.password in the MQTT
// state folder). Exit code 0 on success, 1 on a failure, 2 on a usage error.
#include "PasswordInput.h"
#include "fileformat/ConfigFormat.h"
#include "north/mqtt/MqttSettings.h"
#include "platform/Registry.h"
#include "toolkit/ua/security/UserAccounts.h"

#include <cstdio>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

using namespace vorn;
using ua::security::UserAccount;
using ua::security::UserRole;

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: vorn-users add NAME --role read|readwrite --server Tarnvale|Rennick\n"
    "       vorn-users passwd NAME --server Tarnvale|Rennick\n"
    "       vorn-users remove NAME --server Tarnvale|Rennick\n"
    "       vorn-users list --server Tarnvale|Rennick\n"
    "       vorn-users mqtt-password --server Tarnvale|Rennick\n";

struct Arguments {
    std::string command;
    std::string name;
    std::optional<std::string> role;
    std::optional<std::string> server;
};

std::optional<Arguments> parse(int argc, char** argv) {
    Arguments a;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if ((arg == "--role" || arg == "--server") && i + 1 < argc)
            (arg == "--role" ? a.role : a.server) = argv[++i];
        else if (arg.rfind("--", 0) == 0)
            return std::nullopt;
        else
            positional.push_back(arg);
    }
    if (positional.empty() || !a.server)
        return std::nullopt;
    a.command = positional[0];
    bool named = a.command == "add" || a.command == "passwd" || a.command == "remove";
    if (named != (positional.size() == 2) || (!named && positional.size() != 1))
        return std::nullopt;
    if (named)
        a.name = positional[1];
    return a;
}

int fail(const std::string& text) {
    std::fprintf(stderr, "vorn-users: %s\n", text.c_str());
    return kExitFailure;
}

// Asks twice on a terminal; once from a pipe.
std::optional<std::string> newPassword() {
    auto first = users::readPassword("New password: ");
    if (!first || first->empty())
        return std::nullopt;
    if (isatty(0)) {
        auto again = users::readPassword("Retype new password: ");
        if (!again || *again != *first)
            return std::nullopt;
    }
    return first;
}

} // namespace

int main(int argc, char** argv) {
    auto args = parse(argc, argv);
    if (!args) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    std::string serverKey;
    std::string serverName;
    for (auto kind : {format::ServerKind::tarnvale, format::ServerKind::rennick})
        if (*args->server == format::nameOf(kind)) {
            serverKey = format::registryKeyOf(kind);
            serverName = format::nameOf(kind);
        }
    if (serverKey.empty()) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    const std::string usersKey = serverKey + "\\Users";
    Registry registry;

    if (args->command == "list") {
        for (const std::string& name : registry.valueNames(usersKey)) {
            auto text = registry.readString(usersKey, name);
            auto account = text ? ua::security::parseAccount(*text) : std::nullopt;
            std::printf("%s %s\n", name.c_str(),
                        account ? ua::security::roleName(account->role) : "(unreadable)");
        }
        return 0;
    }
    if (args->command == "mqtt-password") {
        auto password = newPassword();
        if (!password)
            return fail("no password given (or the two differ)");
        const auto file = north::mqtt::passwordFilePath(registry, serverKey, serverName);
        std::string error;
        if (!north::mqtt::writePasswordFile(file, *password, error))
            return fail("cannot write " + error);
        std::printf("%s\n", file.c_str());
        return 0;
    }
    if (!ua::security::isValidUserName(args->name))
        return fail("a user name has 1 to 64 letters, digits, '.', '_', '-' or '@'");
    auto existing = registry.readString(usersKey, args->name);

    if (args->command == "remove") {
        if (!existing)
            return fail("no user " + args->name);
        return registry.deleteValue(usersKey, args->name) ? 0
                                                          : fail("cannot write " + registry.path());
    }

    UserAccount account;
    if (args->command == "add") {
        auto role = args->role ? ua::security::roleFromName(*args->role) : std::nullopt;
        if (!role) {
            std::fputs(kUsage, stderr);
            return kExitUsage;
        }
        if (existing)
            return fail("user " + args->name + " exists (passwd changes the password)");
        account.role = *role;
    } else if (args->command == "passwd") {
        auto current = existing ? ua::security::parseAccount(*existing) : std::nullopt;
        if (!current)
            return fail("no user " + args->name);
        account.role = current->role;
    } else {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    auto password = newPassword();
    if (!password)
        return fail("no password given (or the two differ)");
    account.passwordHash = ua::security::hashPassword(*password);
    if (account.passwordHash.empty())
        return fail("cannot hash the password");
    if (!registry.writeString(usersKey, args->name, ua::security::formatAccount(account)))
        return fail("cannot write " + registry.path());
    return 0;
}
