// The policies' algorithms: P_SHA256 against OpenSSL's TLS 1.2 PRF and a published vector, the
// keys each family derives, RSA signatures and encryption per family, and chunk protection
// that refuses any changed byte.
#include "toolkit/ua/security/SecurityPolicy.h"

#include "toolkit/ua/security/ChunkSecurity.h"
#include "toolkit/ua/security/HexText.h"

#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/kdf.h>
#include <openssl/params.h>

using namespace std::string_literals;

using namespace vorn::ua::security;

namespace {

// OpenSSL's own TLS 1.2 PRF, label empty: an implementation independent of ours.
std::string opensslPrf(const std::string& secret, const std::string& seed, size_t length) {
    EVP_KDF* kdf = EVP_KDF_fetch(nullptr, "TLS1-PRF", nullptr);
    EVP_KDF_CTX* ctx = EVP_KDF_CTX_new(kdf);
    char digest[] = "SHA256";
    OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SECRET, const_cast<char*>(secret.data()),
                                          secret.size()),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SEED, const_cast<char*>(seed.data()),
                                          seed.size()),
        OSSL_PARAM_construct_end()};
    std::string out(length, '\0');
    int ok = EVP_KDF_derive(ctx, reinterpret_cast<unsigned char*>(out.data()), length, params);
    EVP_KDF_CTX_free(ctx);
    EVP_KDF_free(kdf);
    return ok == 1 ? out : std::string();
}

} // namespace

TEST(KeyDerivation, PSha256MatchesTheTls12PrfForEveryLength) {
    const std::string secret = randomBytes(32);
    const std::string seed = randomBytes(32);
    for (size_t length : {1u, 31u, 32u, 33u, 64u, 80u, 96u, 200u})
        EXPECT_EQ(toHex(pSha256(secret, seed, length)), toHex(opensslPrf(secret, seed, length)))
            << length;
}

TEST(KeyDerivation, PSha256GivesThePublishedTls12Vector) {
    // The TLS 1.2 PRF (SHA-256) test vector: label "test label" precedes the seed.
    std::string secret = fromHex("9bbe436ba940f017b17652849a71db35").value();
    std::string seed = "test label" + fromHex("a0ba9f936cda311827a6f796ffd5198c").value();
    EXPECT_EQ(toHex(pSha256(secret, seed, 100)),
              "e3f229ba727be17b8d122620557cd453c2aab21d07c3d495329b52d4e61edb5a6b301791e90d35c9c9"
              "a46b4e14baf9af0fa022f7077def17abfd3797c0564bab4fbc91666e9def9b97fce34f796789baa48082"
              "d122ee42c5a72e5a5110fff70187347b66");
}

TEST(KeyDerivation, EachFamilySplitsSigningKeyEncryptingKeyAndIv) {
    const std::string serverNonce = randomBytes(32);
    const std::string clientNonce = randomBytes(32);
    for (const SecurityPolicy* policy : securePolicies()) {
        SymmetricKeys keys = policy->deriveKeys(serverNonce, clientNonce);
        size_t encrypting = policy == &aes128Sha256RsaOaep() ? 16 : 32;
        std::string material = pSha256(serverNonce, clientNonce, 32 + encrypting + 16);
        EXPECT_EQ(keys.signingKey, material.substr(0, 32)) << policy->name();
        EXPECT_EQ(keys.encryptingKey, material.substr(32, encrypting)) << policy->name();
        EXPECT_EQ(keys.iv, material.substr(32 + encrypting)) << policy->name();
    }
}

TEST(SecurityPolicies, AreFoundByUriAndByName) {
    EXPECT_EQ(findSecurityPolicy("http://opcfoundation.org/UA/SecurityPolicy#Basic256Sha256"),
              &basic256Sha256());
    EXPECT_EQ(findSecurityPolicy("Aes256_Sha256_RsaPss"), &aes256Sha256RsaPss());
    EXPECT_EQ(findSecurityPolicy(kPolicyNoneUri), nullptr);
    EXPECT_EQ(findSecurityPolicy("http://opcfoundation.org/UA/SecurityPolicy#Basic128Rsa15"),
              nullptr);
}

TEST(SecurityPolicies, AsymmetricRoundTripsAndTamperedBytesAreRefused) {
    auto alice = RsaKey::generate(2048);
    auto bob = RsaKey::generate(3072); // longer than 2048 bits: a second padding byte
    ASSERT_TRUE(alice && bob);
    for (const SecurityPolicy* policy : securePolicies()) {
        SCOPED_TRACE(policy->name());
        std::string header = "OPNF\0\0\0\0header"s;
        std::string plain = randomBytes(1000);
        std::string chunk;
        ASSERT_TRUE(protectAsymmetric(*policy, *alice, *bob, header, plain, chunk));
        EXPECT_EQ((chunk.size() - header.size()) % bob->sizeBytes(), 0u);
        EXPECT_EQ(chunk.find(plain.substr(0, 64)), std::string::npos); // encrypted
        std::string back;
        ASSERT_TRUE(unprotectAsymmetric(*policy, *bob, *alice,
                                        std::string_view(chunk).substr(0, 14),
                                        std::string_view(chunk).substr(14), back));
        EXPECT_EQ(back, plain);
        for (size_t at : {size_t{5}, size_t{12}, size_t{20}, chunk.size() - 1}) {
            std::string bad = chunk;
            bad[at] ^= 0x01;
            EXPECT_FALSE(unprotectAsymmetric(*policy, *bob, *alice,
                                             std::string_view(bad).substr(0, 14),
                                             std::string_view(bad).substr(14), back))
                << at;
        }
    }
}

TEST(SecurityPolicies, SymmetricChunksRoundTripAndAnyFlippedByteIsRefused) {
    for (const SecurityPolicy* policy : securePolicies()) {
        for (bool encrypt : {false, true}) {
            SCOPED_TRACE(std::string(policy->name()) + (encrypt ? " encrypted" : " signed"));
            SymmetricKeys keys = policy->deriveKeys(randomBytes(32), randomBytes(32));
            std::string header = "MSGF\0\0\0\0\1\0\0\0\1\0\0\0"s;
            std::string plain = randomBytes(517);
            std::string chunk;
            ASSERT_TRUE(protectSymmetric(*policy, keys, encrypt, header, plain, chunk));
            EXPECT_LE(chunk.size(), 16 + plain.size() + 16 + 32);
            std::string back;
            ASSERT_TRUE(unprotectSymmetric(*policy, keys, encrypt,
                                           std::string_view(chunk).substr(0, 16),
                                           std::string_view(chunk).substr(16), back));
            EXPECT_EQ(back, plain);
            for (size_t at = 0; at < chunk.size(); at += 7) {
                std::string bad = chunk;
                bad[at] ^= 0x20;
                EXPECT_FALSE(unprotectSymmetric(*policy, keys, encrypt,
                                                std::string_view(bad).substr(0, 16),
                                                std::string_view(bad).substr(16), back))
                    << at;
            }
            EXPECT_GE(symmetricPlainCapacity(encrypt, 8192, 16) + 16 + 32 + (encrypt ? 16 : 0),
                      8192u - 16);
        }
    }
}
