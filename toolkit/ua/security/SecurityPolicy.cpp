#include "SecurityPolicy.h"

namespace vorn::ua::security {

Bytes pSha256(std::string_view secret, std::string_view seed, size_t length) {
    // A(0) = seed, A(i) = HMAC(secret, A(i-1)); output HMAC(secret, A(i) + seed) for i >= 1.
    Bytes out;
    Bytes a(seed);
    while (out.size() < length) {
        a = hmacSha256(secret, a);
        if (a.empty())
            return {};
        out += hmacSha256(secret, a + Bytes(seed));
    }
    out.resize(length);
    return out;
}

bool equalInConstantTime(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

bool SecurityPolicy::acceptsKey(const RsaKey& key) const {
    size_t bits = key.sizeBytes() * 8;
    return key.valid() && bits >= kMinKeyBits && bits <= kMaxKeyBits;
}

SymmetricKeys SecurityPolicy::deriveKeys(std::string_view secret, std::string_view seed) const {
    size_t total = kSigningKeyLength + p_.encryptingKeyLength + kSymmetricBlockSize;
    Bytes material = pSha256(secret, seed, total);
    if (material.size() != total)
        return {};
    SymmetricKeys keys;
    keys.signingKey = material.substr(0, kSigningKeyLength);
    keys.encryptingKey = material.substr(kSigningKeyLength, p_.encryptingKeyLength);
    keys.iv = material.substr(kSigningKeyLength + p_.encryptingKeyLength);
    return keys;
}

Bytes SecurityPolicy::symmetricSign(const SymmetricKeys& keys, std::string_view data) const {
    return hmacSha256(keys.signingKey, data);
}

bool SecurityPolicy::symmetricVerify(const SymmetricKeys& keys, std::string_view data,
                                     std::string_view signature) const {
    Bytes expected = symmetricSign(keys, data);
    return !expected.empty() && equalInConstantTime(expected, signature);
}

bool SecurityPolicy::symmetricEncrypt(const SymmetricKeys& keys, std::string_view data,
                                      Bytes& out) const {
    return aesCbcEncrypt(keys.encryptingKey, keys.iv, data, out);
}

bool SecurityPolicy::symmetricDecrypt(const SymmetricKeys& keys, std::string_view data,
                                      Bytes& out) const {
    return aesCbcDecrypt(keys.encryptingKey, keys.iv, data, out);
}

bool SecurityPolicy::asymmetricSign(const RsaKey& own, std::string_view data,
                                    Bytes& signature) const {
    return own.sign(p_.asymmetricSignature, data, signature);
}

bool SecurityPolicy::asymmetricVerify(const RsaKey& peer, std::string_view data,
                                      std::string_view signature) const {
    return peer.verify(p_.asymmetricSignature, data, signature);
}

size_t SecurityPolicy::asymmetricPlainBlockSize(const RsaKey& key) const {
    return key.plainBlockSize(p_.asymmetricEncryption);
}

bool SecurityPolicy::asymmetricEncrypt(const RsaKey& peer, std::string_view data,
                                       Bytes& out) const {
    size_t block = asymmetricPlainBlockSize(peer);
    if (block == 0 || data.size() % block != 0)
        return false;
    out.clear();
    Bytes encrypted;
    for (size_t at = 0; at < data.size(); at += block) {
        if (!peer.encryptBlock(p_.asymmetricEncryption, data.substr(at, block), encrypted))
            return false;
        out += encrypted;
    }
    return true;
}

bool SecurityPolicy::asymmetricDecrypt(const RsaKey& own, std::string_view data, Bytes& out) const {
    size_t block = own.sizeBytes();
    if (block == 0 || data.empty() || data.size() % block != 0)
        return false;
    out.clear();
    Bytes plain;
    for (size_t at = 0; at < data.size(); at += block) {
        if (!own.decryptBlock(p_.asymmetricEncryption, data.substr(at, block), plain))
            return false;
        out += plain;
    }
    return true;
}

std::vector<const SecurityPolicy*> securePolicies() {
    return {&aes256Sha256RsaPss(), &basic256Sha256(), &aes128Sha256RsaOaep()};
}

const SecurityPolicy* findSecurityPolicy(std::string_view uriOrName) {
    for (const SecurityPolicy* policy : securePolicies())
        if (uriOrName == policy->uri() || uriOrName == policy->name())
            return policy;
    return nullptr;
}

} // namespace vorn::ua::security
