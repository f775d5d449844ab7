// The PKI folder as OPC UA tools lay it out: own/certs and own/private (the server's
// certificate and key, the key readable by its owner only), trusted/certs and trusted/crl (the
// trust list and its revocation lists), issuers/certs (CAs that complete chains without being
// trusted themselves) and rejected/certs (copies of refused certificates, for an administrator
// to move to trusted/certs). The folders are read at each check, so changes need no restart.
#pragma once

#include "toolkit/ua/UaStatusCodes.h"
#include "toolkit/ua/security/Crypto.h"
#include "toolkit/ua/security/RejectedFolder.h"

#include <filesystem>
#include <string>
#include <vector>

namespace vorn::ua::security {

class PkiStore {
public:
    explicit PkiStore(std::filesystem::path root);

    // Creates the folders and loads the server's certificate and key, creating them (RSA 2048,
    // SHA-256, self-signed, valid 20 years) when missing. False with `error` when neither works.
    [[nodiscard]] bool loadOrCreateOwn(const std::string& serverName,
                                       const std::string& applicationUri,
                                       const std::string& hostName, std::string* error);
    const Certificate& certificate() const { return certificate_; }
    const RsaKey& privateKey() const { return privateKey_; }
    const std::filesystem::path& root() const { return root_; }

    // Good, or the status a client certificate is refused with: BadSecurityChecksFailed for an
    // unknown one (then copied to rejected/certs), BadCertificateTimeInvalid,
    // BadCertificateRevoked, BadCertificateInvalid. `sentIssuers` are the certificates the
    // client sent after its own: they complete its chain but are never trusted for being sent.
    // `clientAddress` is the client's IP address. Safe from any thread.
    StatusCode checkClientCertificate(const Certificate& certificate,
                                      const std::vector<Certificate>& sentIssuers = {},
                                      const std::string& clientAddress = {}) const;

    // The folder's default place for a server: $XDG_DATA_HOME or ~/.local/share, then
    // VornAutomation/pki/<server>.
    static std::filesystem::path defaultRoot(const std::string& serverName);

private:
    const std::filesystem::path root_;
    Certificate certificate_;
    RsaKey privateKey_;
    mutable RejectedFolder rejected_;
};

} // namespace vorn::ua::security
