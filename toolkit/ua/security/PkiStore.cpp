#include "PkiStore.h"

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vorn::ua::security {
namespace fs = std::filesystem;
namespace {

constexpr int kOwnCertificateDays = 20 * 365;
// A folder of certificates or lists holds few files; larger ones are not what we look for.
constexpr std::uintmax_t kMaxFileSize = 1 << 20;

bool readFile(const fs::path& path, std::string& out) {
    std::error_code ec;
    auto size = fs::file_size(path, ec);
    if (ec || size > kMaxFileSize)
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream text;
    text << in.rdbuf();
    out = text.str();
    return true;
}

// Writes a file readable by its owner only when `secret`; replaced atomically.
bool writeFile(const fs::path& path, const std::string& bytes, bool secret) {
    fs::path temporary = path;
    temporary += ".tmp";
    int fd =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, secret ? 0600 : 0644);
    if (fd < 0)
        return false;
    if (secret)
        ::fchmod(fd, 0600);
    size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n <= 0) {
            ::close(fd);
            ::unlink(temporary.c_str());
            return false;
        }
        written += static_cast<size_t>(n);
    }
    bool ok = ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok)
        ::unlink(temporary.c_str());
    return ok;
}

std::vector<Certificate> certificatesIn(const fs::path& folder) {
    std::vector<Certificate> certificates;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::string bytes;
        if (!entry.is_regular_file(ec) || !readFile(entry.path(), bytes))
            continue;
        if (auto certificate = Certificate::fromFile(bytes))
            certificates.push_back(*certificate);
    }
    return certificates;
}

std::vector<Bytes> filesIn(const fs::path& folder) {
    std::vector<Bytes> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::string bytes;
        if (entry.is_regular_file(ec) && readFile(entry.path(), bytes))
            files.push_back(std::move(bytes));
    }
    return files;
}

} // namespace

PkiStore::PkiStore(fs::path root)
    : root_(std::move(root)), rejected_(root_ / "rejected" / "certs") {}

fs::path PkiStore::defaultRoot(const std::string& serverName) {
    fs::path base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        base = data;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = fs::path(home) / ".local" / "share";
    else
        base = "/var/lib";
    return base / "VornAutomation" / "pki" / serverName;
}

bool PkiStore::loadOrCreateOwn(const std::string& serverName, const std::string& applicationUri,
                               const std::string& hostName, std::string* error) {
    auto fail = [error](const std::string& text) {
        if (error)
            *error = text;
        return false;
    };
    std::error_code ec;
    for (const char* folder : {"own/certs", "own/private", "trusted/certs", "trusted/crl",
                               "issuers/certs", "rejected/certs"}) {
        fs::create_directories(root_ / folder, ec);
        if (ec)
            return fail("cannot create " + (root_ / folder).string() + ": " + ec.message());
    }
    fs::permissions(root_ / "own" / "private", fs::perms::owner_all, ec);

    const fs::path certificatePath = root_ / "own" / "certs" / (serverName + ".der");
    const fs::path keyPath = root_ / "own" / "private" / (serverName + ".pem");
    std::string certificateBytes;
    std::string keyBytes;
    if (readFile(certificatePath, certificateBytes) && readFile(keyPath, keyBytes)) {
        auto certificate = Certificate::fromFile(certificateBytes);
        auto key = RsaKey::fromPem(keyBytes);
        if (!certificate || !key)
            return fail("the certificate or key in " + root_.string() + " cannot be read");
        certificate_ = *certificate;
        privateKey_ = *key;
        return true;
    }
    auto key = RsaKey::generate(2048);
    if (!key)
        return fail("cannot create an RSA key");
    auto certificate =
        Certificate::createSelfSigned(*key, serverName + "@" + hostName, "VornAutomation",
                                      applicationUri, hostName, kOwnCertificateDays);
    if (!certificate)
        return fail("cannot create the server certificate");
    if (!writeFile(keyPath, key->toPem(), true) ||
        !writeFile(certificatePath, certificate->der(), false))
        return fail("cannot write the server certificate to " + root_.string());
    certificate_ = *certificate;
    privateKey_ = *key;
    return true;
}

StatusCode PkiStore::checkClientCertificate(const Certificate& certificate,
                                            const std::vector<Certificate>& sentIssuers,
                                            const std::string& clientAddress) const {
    std::vector<Certificate> issuers = certificatesIn(root_ / "issuers" / "certs");
    issuers.insert(issuers.end(), sentIssuers.begin(), sentIssuers.end());
    CertificateVerdict verdict =
        verifyCertificate(certificate, certificatesIn(root_ / "trusted" / "certs"), issuers,
                          filesIn(root_ / "trusted" / "crl"), std::time(nullptr));
    switch (verdict) {
    case CertificateVerdict::trusted:
        return Status::kGood;
    case CertificateVerdict::expired:
    case CertificateVerdict::notYetValid:
        return Status::kBadCertificateTimeInvalid;
    case CertificateVerdict::revoked:
        return Status::kBadCertificateRevoked;
    case CertificateVerdict::invalid:
        return Status::kBadCertificateInvalid;
    case CertificateVerdict::untrusted:
        break;
    }
    rejected_.keep(certificate, clientAddress);
    return Status::kBadSecurityChecksFailed;
}

} // namespace vorn::ua::security
