// A security policy: the algorithms one family uses to protect a secure channel. The
// asymmetric ones (RSA) protect OpenSecureChannel and the session signatures, the symmetric
// ones (HMAC-SHA256, AES-CBC with keys derived from both nonces by P_SHA256) every other chunk.
// One file per family defines its parameters; findSecurityPolicy looks them up by URI.
#pragma once

#include "toolkit/ua/security/Crypto.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::ua::security {

enum class SecurityMode : uint32_t { invalid = 0, none = 1, sign = 2, signAndEncrypt = 3 };

constexpr const char* kPolicyNoneUri = "http://opcfoundation.org/UA/SecurityPolicy#None";

// What one side uses to protect the chunks it sends, for one token.
struct SymmetricKeys {
    Bytes signingKey;
    Bytes encryptingKey;
    Bytes iv;
};

// The TLS 1.2 pseudo-random function with SHA-256 (no label): `length` bytes.
Bytes pSha256(std::string_view secret, std::string_view seed, size_t length);

class SecurityPolicy {
public:
    struct Parameters {
        const char* name; // as in the registry value SecurityPolicies
        const char* uri;
        size_t encryptingKeyLength;
        RsaEncryption asymmetricEncryption;
        RsaSignature asymmetricSignature;
        const char* asymmetricSignatureUri;
        const char* asymmetricEncryptionUri;
        uint8_t securityLevel; // the endpoints' ranking, higher is stronger
    };
    static constexpr size_t kNonceLength = 32;
    static constexpr size_t kSymmetricSignatureSize = 32;
    static constexpr size_t kSymmetricBlockSize = 16;
    static constexpr size_t kSigningKeyLength = 32;
    static constexpr size_t kMinKeyBits = 2048;
    static constexpr size_t kMaxKeyBits = 4096;

    explicit constexpr SecurityPolicy(Parameters p) : p_(p) {}

    const char* name() const { return p_.name; }
    const char* uri() const { return p_.uri; }
    const char* asymmetricSignatureUri() const { return p_.asymmetricSignatureUri; }
    const char* asymmetricEncryptionUri() const { return p_.asymmetricEncryptionUri; }
    uint8_t securityLevel() const { return p_.securityLevel; }
    // A key this policy accepts (2048 to 4096 bits).
    bool acceptsKey(const RsaKey& key) const;

    // Keys from P_SHA256(secret, seed): signing key, encrypting key, IV, in that order.
    SymmetricKeys deriveKeys(std::string_view secret, std::string_view seed) const;
    Bytes symmetricSign(const SymmetricKeys& keys, std::string_view data) const;
    bool symmetricVerify(const SymmetricKeys& keys, std::string_view data,
                         std::string_view signature) const;
    [[nodiscard]] bool symmetricEncrypt(const SymmetricKeys& keys, std::string_view data,
                                        Bytes& out) const;
    [[nodiscard]] bool symmetricDecrypt(const SymmetricKeys& keys, std::string_view data,
                                        Bytes& out) const;

    [[nodiscard]] bool asymmetricSign(const RsaKey& own, std::string_view data,
                                      Bytes& signature) const;
    bool asymmetricVerify(const RsaKey& peer, std::string_view data,
                          std::string_view signature) const;
    // Whole messages, cut into the key's blocks.
    [[nodiscard]] bool asymmetricEncrypt(const RsaKey& peer, std::string_view data,
                                         Bytes& out) const;
    [[nodiscard]] bool asymmetricDecrypt(const RsaKey& own, std::string_view data,
                                         Bytes& out) const;
    size_t asymmetricPlainBlockSize(const RsaKey& key) const;

private:
    Parameters p_;
};

// The families, one file each.
const SecurityPolicy& basic256Sha256();
const SecurityPolicy& aes128Sha256RsaOaep();
const SecurityPolicy& aes256Sha256RsaPss();

// Every secure policy, strongest first.
std::vector<const SecurityPolicy*> securePolicies();
// nullptr for None and for unknown URIs.
const SecurityPolicy* findSecurityPolicy(std::string_view uriOrName);

// Compares without leaking where the first difference is.
bool equalInConstantTime(std::string_view a, std::string_view b);

} // namespace vorn::ua::security
