// The cryptography the security policies and the PKI need, and nothing more: random bytes,
// SHA-1 and SHA-256, HMAC-SHA256, AES-CBC without padding, RSA keys with their signatures and
// encryptions, X.509 certificates. The only place (with CertificateStore.cpp) that knows the
// library doing the work; everything above sees bytes in std::string.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::ua::security {

using Bytes = std::string;

// Empty when the system's random source fails (callers then refuse the operation).
Bytes randomBytes(size_t count);
Bytes sha1(std::string_view data);
Bytes sha256(std::string_view data);
Bytes hmacSha256(std::string_view key, std::string_view data);
// PBKDF2 with HMAC-SHA256; empty on failure.
Bytes pbkdf2Sha256(std::string_view password, std::string_view salt, uint32_t iterations,
                   size_t length);

// AES in CBC mode, key of 16 or 32 bytes, IV of 16; the data a whole number of blocks.
[[nodiscard]] bool aesCbcEncrypt(std::string_view key, std::string_view iv, std::string_view data,
                                 Bytes& out);
[[nodiscard]] bool aesCbcDecrypt(std::string_view key, std::string_view iv, std::string_view data,
                                 Bytes& out);

enum class RsaSignature { pkcs1v15Sha256, pssSha256 };
enum class RsaEncryption { oaepSha1, oaepSha256 };

// An RSA key, public or private. Copies share the key.
class RsaKey {
public:
    RsaKey() = default;
    static std::optional<RsaKey> generate(int bits);
    static std::optional<RsaKey> fromPem(std::string_view pem); // private key
    Bytes toPem() const;                                        // private key, PKCS#8
    bool valid() const { return key_ != nullptr; }
    // Modulus length in bytes: the size of a signature and of an encrypted block.
    size_t sizeBytes() const;
    void* native() const { return key_.get(); }

    [[nodiscard]] bool sign(RsaSignature kind, std::string_view data, Bytes& signature) const;
    [[nodiscard]] bool verify(RsaSignature kind, std::string_view data,
                              std::string_view signature) const;
    // One block each: at most plainBlockSize(kind) bytes in, sizeBytes() out.
    [[nodiscard]] bool encryptBlock(RsaEncryption kind, std::string_view block, Bytes& out) const;
    [[nodiscard]] bool decryptBlock(RsaEncryption kind, std::string_view block, Bytes& out) const;
    size_t plainBlockSize(RsaEncryption kind) const;

private:
    explicit RsaKey(std::shared_ptr<void> key) : key_(std::move(key)) {}
    friend class Certificate;
    std::shared_ptr<void> key_;
};

// An X.509 certificate. Copies share it.
class Certificate {
public:
    Certificate() = default;
    static std::optional<Certificate> fromDer(std::string_view der);
    // A certificate field that carries a chain: the sender's certificate, then the ones that
    // issued it, one DER after another. Empty when any part is no certificate.
    static std::vector<Certificate> chainFromDer(std::string_view der);
    static std::optional<Certificate> fromPem(std::string_view pem);
    // DER or PEM, whichever the bytes are.
    static std::optional<Certificate> fromFile(std::string_view bytes);
    // A self-signed application instance certificate: subject CN=commonName, O=organization,
    // SHA-256, the application URI and the host's DNS name in the subject alternative name.
    static std::optional<Certificate> createSelfSigned(const RsaKey& key,
                                                       const std::string& commonName,
                                                       const std::string& organization,
                                                       const std::string& applicationUri,
                                                       const std::string& dnsName, int days);

    bool valid() const { return cert_ != nullptr; }
    const Bytes& der() const { return der_; }
    Bytes thumbprint() const { return sha1(der_); }
    RsaKey publicKey() const;
    // The URI in the subject alternative name; empty when there is none.
    std::string applicationUri() const;
    // The subject in one line, e.g. "CN=Pump station, O=Plant".
    std::string subject() const;
    std::time_t notBefore() const;
    std::time_t notAfter() const;
    void* native() const { return cert_.get(); }

private:
    std::shared_ptr<void> cert_;
    Bytes der_;
};

} // namespace vorn::ua::security

namespace vorn::ua::security {

enum class CertificateVerdict { trusted, untrusted, expired, notYetValid, revoked, invalid };

// Checks a peer's certificate: within its validity at `now`, and either in `trusted` or issued
// (through `issuers`) by a certificate there, not revoked by any of `crls` (DER or PEM).
CertificateVerdict verifyCertificate(const Certificate& certificate,
                                     const std::vector<Certificate>& trusted,
                                     const std::vector<Certificate>& issuers,
                                     const std::vector<Bytes>& crls, std::time_t now);

} // namespace vorn::ua::security
