// vorn-pki: the client certificates of Tarnvale's or Rennick's PKI folder, found as the server
// finds it (registry value PkiFolder under the server's key in the same registry file, else the
// default folder):
//   vorn-pki list --server Tarnvale|Rennick
//   vorn-pki trust THUMBPRINT --server ...    (rejected -> trusted: the client may connect)
//   vorn-pki reject THUMBPRINT --server ...   (trusted -> rejected)
//   vorn-pki remove THUMBPRINT --server ...   (gone from the folder it is in)
// The server reads the folder at every connection, so no restart is needed. Exit code 0 on
// success, 1 on a failure, 2 on a usage error.
#include "CertificateFolders.h"
#include "fileformat/ConfigFormat.h"
#include "platform/Registry.h"
#include "server/ServerIdentity.h"
#include "server/UaSecuritySettings.h"

#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

using namespace vorn;

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: vorn-pki list --server Tarnvale|Rennick\n"
    "       vorn-pki trust THUMBPRINT --server Tarnvale|Rennick\n"
    "       vorn-pki reject THUMBPRINT --server Tarnvale|Rennick\n"
    "       vorn-pki remove THUMBPRINT --server Tarnvale|Rennick\n"
    "       vorn-pki --help | --version\n"
    "The client certificates the server refused (rejected) and trusts (trusted), in its PKI\n"
    "folder: the registry value PkiFolder under the server's key, else\n"
    "${XDG_DATA_HOME:-$HOME/.local/share}/VornAutomation/pki/<server>. The registry file is\n"
    "$VORN_REGISTRY, else ${XDG_CONFIG_HOME:-$HOME/.config}/VornAutomation/registry.ini.\n"
    "THUMBPRINT: the SHA-1 thumbprint list shows (its first 6 or more digits are enough).\n";

struct Arguments {
    std::string command;
    std::string thumbprint;
    std::optional<std::string> server;
};

std::optional<Arguments> parse(int argc, char** argv) {
    Arguments a;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--server" && i + 1 < argc)
            a.server = argv[++i];
        else if (arg.rfind("--", 0) == 0)
            return std::nullopt;
        else
            positional.push_back(arg);
    }
    if (positional.empty() || !a.server)
        return std::nullopt;
    a.command = positional[0];
    const bool named = a.command != "list";
    if (positional.size() != (named ? 2u : 1u))
        return std::nullopt;
    if (named)
        a.thumbprint = positional[1];
    return a;
}

std::string utc(std::time_t time) {
    char text[32] = "?";
    struct tm parts {};
    if (gmtime_r(&time, &parts))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}

void print(const pki::StoredCertificate& stored) {
    const ua::security::Certificate& c = stored.certificate;
    std::printf("%-8s %s\n", pki::placeName(stored.place), stored.thumbprint.c_str());
    std::printf("  subject          %s\n", c.subject().c_str());
    std::printf("  application URI  %s\n",
                c.applicationUri().empty() ? "(none)" : c.applicationUri().c_str());
    std::printf("  valid            %s to %s\n", utc(c.notBefore()).c_str(),
                utc(c.notAfter()).c_str());
    std::printf("  file             %s\n", stored.file.c_str());
}

int fail(const std::string& text) {
    std::fprintf(stderr, "vorn-pki: %s\n", text.c_str());
    return kExitFailure;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::printf("vorn-pki %u.%u build %u\n", kVersionMajor, kVersionMinor, kVersionBuild);
        return 0;
    }
    auto args = parse(argc, argv);
    std::optional<format::ServerKind> kind;
    for (auto k : {format::ServerKind::tarnvale, format::ServerKind::rennick})
        if (args && *args->server == format::nameOf(k))
            kind = k;
    if (!args || !kind) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    const Registry registry;
    const std::string folder =
        uaPkiFolder(registry, format::registryKeyOf(*kind), format::nameOf(*kind));
    const pki::CertificateFolders folders(folder);

    if (args->command == "list") {
        std::printf("PKI folder %s\n", folder.c_str());
        for (const pki::StoredCertificate& stored : folders.list())
            print(stored);
        return 0;
    }
    std::string error;
    auto stored = folders.find(args->thumbprint, error);
    if (!stored)
        return fail(error);
    bool done = false;
    if (args->command == "trust")
        done = folders.moveTo(*stored, pki::Place::trusted, error);
    else if (args->command == "reject")
        done = folders.moveTo(*stored, pki::Place::rejected, error);
    else if (args->command == "remove")
        done = folders.remove(*stored, error);
    else {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    if (!done)
        return fail(error);
    std::printf("%s %s\n",
                args->command == "remove"  ? "removed"
                : args->command == "trust" ? "trusted"
                                           : "rejected",
                stored->thumbprint.c_str());
    return 0;
}
