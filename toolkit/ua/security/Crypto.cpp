#include "Crypto.h"

#include <algorithm>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace vorn::ua::security {
namespace {

const unsigned char* bytesOf(std::string_view data) {
    return reinterpret_cast<const unsigned char*>(data.data());
}

unsigned char* bytesOf(Bytes& data) {
    return reinterpret_cast<unsigned char*>(data.data());
}

EVP_PKEY* keyOf(const RsaKey& key) {
    return static_cast<EVP_PKEY*>(key.native());
}

Bytes digest(const EVP_MD* md, std::string_view data) {
    Bytes out(static_cast<size_t>(EVP_MD_get_size(md)), '\0');
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), bytesOf(out), &length, md, nullptr) != 1)
        return {};
    out.resize(length);
    return out;
}

bool aesCbc(bool encrypt, std::string_view key, std::string_view iv, std::string_view data,
            Bytes& out) {
    const EVP_CIPHER* cipher = key.size() == 16   ? EVP_aes_128_cbc()
                               : key.size() == 32 ? EVP_aes_256_cbc()
                                                  : nullptr;
    if (!cipher || iv.size() != 16 || data.size() % 16 != 0)
        return false;
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                        EVP_CIPHER_CTX_free);
    if (!ctx || EVP_CipherInit_ex(ctx.get(), cipher, nullptr, bytesOf(key), bytesOf(iv),
                                  encrypt ? 1 : 0) != 1)
        return false;
    EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
    out.assign(data.size() + 16, '\0');
    int length = 0;
    int last = 0;
    if (EVP_CipherUpdate(ctx.get(), bytesOf(out), &length, bytesOf(data),
                         static_cast<int>(data.size())) != 1 ||
        EVP_CipherFinal_ex(ctx.get(), bytesOf(out) + length, &last) != 1)
        return false;
    out.resize(static_cast<size_t>(length + last));
    return out.size() == data.size();
}

using PkeyContext = std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

bool setSignaturePadding(EVP_PKEY_CTX* ctx, RsaSignature kind) {
    if (kind == RsaSignature::pkcs1v15Sha256)
        return EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING) == 1;
    return EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PSS_PADDING) == 1 &&
           EVP_PKEY_CTX_set_rsa_pss_saltlen(ctx, RSA_PSS_SALTLEN_DIGEST) == 1;
}

bool setEncryptionPadding(EVP_PKEY_CTX* ctx, RsaEncryption kind) {
    const EVP_MD* md = kind == RsaEncryption::oaepSha1 ? EVP_sha1() : EVP_sha256();
    return EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_OAEP_PADDING) == 1 &&
           EVP_PKEY_CTX_set_rsa_oaep_md(ctx, md) == 1 && EVP_PKEY_CTX_set_rsa_mgf1_md(ctx, md) == 1;
}

std::shared_ptr<void> ownKey(EVP_PKEY* key) {
    if (!key)
        return nullptr;
    return std::shared_ptr<void>(key, [](void* p) { EVP_PKEY_free(static_cast<EVP_PKEY*>(p)); });
}

} // namespace

Bytes randomBytes(size_t count) {
    Bytes out(count, '\0');
    if (count > 0 && RAND_bytes(bytesOf(out), static_cast<int>(count)) != 1)
        return {};
    return out;
}

Bytes sha1(std::string_view data) {
    return digest(EVP_sha1(), data);
}

Bytes sha256(std::string_view data) {
    return digest(EVP_sha256(), data);
}

Bytes hmacSha256(std::string_view key, std::string_view data) {
    Bytes out(32, '\0');
    unsigned int length = 0;
    if (!HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), bytesOf(data), data.size(),
              bytesOf(out), &length))
        return {};
    out.resize(length);
    return out;
}

Bytes pbkdf2Sha256(std::string_view password, std::string_view salt, uint32_t iterations,
                   size_t length) {
    Bytes out(length, '\0');
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), bytesOf(salt),
                          static_cast<int>(salt.size()), static_cast<int>(iterations), EVP_sha256(),
                          static_cast<int>(length), bytesOf(out)) != 1)
        return {};
    return out;
}

bool aesCbcEncrypt(std::string_view key, std::string_view iv, std::string_view data, Bytes& out) {
    return aesCbc(true, key, iv, data, out);
}

bool aesCbcDecrypt(std::string_view key, std::string_view iv, std::string_view data, Bytes& out) {
    return aesCbc(false, key, iv, data, out);
}

std::optional<RsaKey> RsaKey::generate(int bits) {
    EVP_PKEY* key = EVP_RSA_gen(static_cast<unsigned int>(bits));
    if (!key)
        return std::nullopt;
    return RsaKey(ownKey(key));
}

std::optional<RsaKey> RsaKey::fromPem(std::string_view pem) {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(
        BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), BIO_free);
    EVP_PKEY* key = bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr;
    if (!key)
        return std::nullopt;
    if (EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA) {
        EVP_PKEY_free(key);
        return std::nullopt;
    }
    return RsaKey(ownKey(key));
}

Bytes RsaKey::toPem() const {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
    if (!bio || !valid() ||
        PEM_write_bio_PKCS8PrivateKey(bio.get(), keyOf(*this), nullptr, nullptr, 0, nullptr,
                                      nullptr) != 1)
        return {};
    char* data = nullptr;
    long length = BIO_get_mem_data(bio.get(), &data);
    return Bytes(data, static_cast<size_t>(length));
}

size_t RsaKey::sizeBytes() const {
    return valid() ? static_cast<size_t>(EVP_PKEY_get_size(keyOf(*this))) : 0;
}

size_t RsaKey::plainBlockSize(RsaEncryption kind) const {
    size_t overhead = kind == RsaEncryption::oaepSha1 ? 42 : 66;
    return sizeBytes() > overhead ? sizeBytes() - overhead : 0;
}

bool RsaKey::sign(RsaSignature kind, std::string_view data, Bytes& signature) const {
    if (!valid())
        return false;
    DigestContext md(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    EVP_PKEY_CTX* pctx = nullptr;
    if (!md || EVP_DigestSignInit(md.get(), &pctx, EVP_sha256(), nullptr, keyOf(*this)) != 1 ||
        !setSignaturePadding(pctx, kind))
        return false;
    size_t length = 0;
    if (EVP_DigestSign(md.get(), nullptr, &length, bytesOf(data), data.size()) != 1)
        return false;
    signature.assign(length, '\0');
    if (EVP_DigestSign(md.get(), bytesOf(signature), &length, bytesOf(data), data.size()) != 1)
        return false;
    signature.resize(length);
    return true;
}

bool RsaKey::verify(RsaSignature kind, std::string_view data, std::string_view signature) const {
    if (!valid())
        return false;
    DigestContext md(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    EVP_PKEY_CTX* pctx = nullptr;
    if (!md || EVP_DigestVerifyInit(md.get(), &pctx, EVP_sha256(), nullptr, keyOf(*this)) != 1 ||
        !setSignaturePadding(pctx, kind))
        return false;
    return EVP_DigestVerify(md.get(), bytesOf(signature), signature.size(), bytesOf(data),
                            data.size()) == 1;
}

bool RsaKey::encryptBlock(RsaEncryption kind, std::string_view block, Bytes& out) const {
    if (!valid() || block.size() > plainBlockSize(kind))
        return false;
    PkeyContext ctx(EVP_PKEY_CTX_new(keyOf(*this), nullptr), EVP_PKEY_CTX_free);
    if (!ctx || EVP_PKEY_encrypt_init(ctx.get()) != 1 || !setEncryptionPadding(ctx.get(), kind))
        return false;
    size_t length = sizeBytes();
    out.assign(length, '\0');
    if (EVP_PKEY_encrypt(ctx.get(), bytesOf(out), &length, bytesOf(block), block.size()) != 1)
        return false;
    out.resize(length);
    return true;
}

bool RsaKey::decryptBlock(RsaEncryption kind, std::string_view block, Bytes& out) const {
    if (!valid() || block.size() != sizeBytes())
        return false;
    PkeyContext ctx(EVP_PKEY_CTX_new(keyOf(*this), nullptr), EVP_PKEY_CTX_free);
    if (!ctx || EVP_PKEY_decrypt_init(ctx.get()) != 1 || !setEncryptionPadding(ctx.get(), kind))
        return false;
    size_t length = sizeBytes();
    out.assign(length, '\0');
    if (EVP_PKEY_decrypt(ctx.get(), bytesOf(out), &length, bytesOf(block), block.size()) != 1)
        return false;
    out.resize(length);
    return true;
}

namespace {

X509* certOf(const Certificate& cert) {
    return static_cast<X509*>(cert.native());
}

std::time_t timeOf(const ASN1_TIME* time) {
    struct tm parts {};
    if (!time || ASN1_TIME_to_tm(time, &parts) != 1)
        return 0;
    return timegm(&parts);
}

bool addExtension(X509* cert, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (!ext)
        return false;
    bool added = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return added;
}

} // namespace

std::optional<Certificate> Certificate::fromDer(std::string_view der) {
    const unsigned char* p = bytesOf(der);
    X509* x509 = d2i_X509(nullptr, &p, static_cast<long>(der.size()));
    if (!x509)
        return std::nullopt;
    // A certificate field may carry a chain: the first certificate is the sender's.
    size_t used = static_cast<size_t>(p - bytesOf(der));
    Certificate cert;
    cert.cert_ = std::shared_ptr<void>(x509, [](void* c) { X509_free(static_cast<X509*>(c)); });
    cert.der_ = Bytes(der.substr(0, used));
    return cert;
}

std::vector<Certificate> Certificate::chainFromDer(std::string_view der) {
    std::vector<Certificate> chain;
    while (!der.empty()) {
        auto next = fromDer(der);
        if (!next)
            return {};
        der.remove_prefix(next->der().size());
        chain.push_back(std::move(*next));
    }
    return chain;
}

std::optional<Certificate> Certificate::fromPem(std::string_view pem) {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(
        BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), BIO_free);
    X509* x509 = bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr;
    if (!x509)
        return std::nullopt;
    unsigned char* der = nullptr;
    int length = i2d_X509(x509, &der);
    X509_free(x509);
    if (length <= 0)
        return std::nullopt;
    Bytes bytes(reinterpret_cast<char*>(der), static_cast<size_t>(length));
    OPENSSL_free(der);
    return fromDer(bytes);
}

std::optional<Certificate> Certificate::fromFile(std::string_view bytes) {
    if (bytes.find("-----BEGIN CERTIFICATE-----") != std::string_view::npos)
        return fromPem(bytes);
    return fromDer(bytes);
}

std::optional<Certificate> Certificate::createSelfSigned(const RsaKey& key,
                                                         const std::string& commonName,
                                                         const std::string& organization,
                                                         const std::string& applicationUri,
                                                         const std::string& dnsName, int days) {
    std::unique_ptr<X509, decltype(&X509_free)> x509(X509_new(), X509_free);
    Bytes serial = randomBytes(16);
    if (!x509 || !key.valid() || serial.empty())
        return std::nullopt;
    serial[0] = static_cast<char>(serial[0] & 0x7F); // positive
    BIGNUM* number = BN_bin2bn(bytesOf(serial), static_cast<int>(serial.size()), nullptr);
    ASN1_INTEGER* serialNumber = BN_to_ASN1_INTEGER(number, nullptr);
    BN_free(number);
    bool ok = serialNumber && X509_set_serialNumber(x509.get(), serialNumber) == 1;
    ASN1_INTEGER_free(serialNumber);
    ok = ok && X509_set_version(x509.get(), 2) == 1;
    ok = ok && X509_gmtime_adj(X509_getm_notBefore(x509.get()), -24 * 3600) &&
         X509_gmtime_adj(X509_getm_notAfter(x509.get()), static_cast<long>(days) * 24 * 3600);
    X509_NAME* name = X509_get_subject_name(x509.get());
    ok = ok &&
         X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, bytesOf(commonName), -1, -1, 0) &&
         X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8, bytesOf(organization), -1, -1, 0);
    ok = ok && X509_set_issuer_name(x509.get(), name) == 1 &&
         X509_set_pubkey(x509.get(), keyOf(key)) == 1;
    ok =
        ok && addExtension(x509.get(), NID_basic_constraints, "critical,CA:FALSE") &&
        addExtension(x509.get(), NID_key_usage,
                     "critical,digitalSignature,nonRepudiation,keyEncipherment,dataEncipherment,"
                     "keyCertSign") &&
        addExtension(x509.get(), NID_ext_key_usage, "serverAuth,clientAuth") &&
        addExtension(x509.get(), NID_subject_key_identifier, "hash") &&
        addExtension(x509.get(), NID_subject_alt_name, "URI:" + applicationUri + ",DNS:" + dnsName);
    ok = ok && X509_sign(x509.get(), keyOf(key), EVP_sha256()) > 0;
    if (!ok)
        return std::nullopt;
    unsigned char* der = nullptr;
    int length = i2d_X509(x509.get(), &der);
    if (length <= 0)
        return std::nullopt;
    Bytes bytes(reinterpret_cast<char*>(der), static_cast<size_t>(length));
    OPENSSL_free(der);
    return fromDer(bytes);
}

RsaKey Certificate::publicKey() const {
    if (!valid())
        return {};
    EVP_PKEY* key = X509_get_pubkey(certOf(*this));
    if (!key)
        return {};
    if (EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA) {
        EVP_PKEY_free(key);
        return {};
    }
    return RsaKey(ownKey(key));
}

std::string Certificate::subject() const {
    if (!valid())
        return {};
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
    if (!bio || X509_NAME_print_ex(bio.get(), X509_get_subject_name(certOf(*this)), 0,
                                   XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB) < 0)
        return {};
    char* text = nullptr;
    long length = BIO_get_mem_data(bio.get(), &text);
    return std::string(text, static_cast<size_t>(std::max(length, 0L)));
}

std::string Certificate::applicationUri() const {
    if (!valid())
        return {};
    auto* names = static_cast<GENERAL_NAMES*>(
        X509_get_ext_d2i(certOf(*this), NID_subject_alt_name, nullptr, nullptr));
    if (!names)
        return {};
    std::string uri;
    for (int i = 0; i < sk_GENERAL_NAME_num(names) && uri.empty(); ++i) {
        const GENERAL_NAME* entry = sk_GENERAL_NAME_value(names, i);
        if (entry->type == GEN_URI) {
            const ASN1_IA5STRING* text = entry->d.uniformResourceIdentifier;
            uri.assign(reinterpret_cast<const char*>(ASN1_STRING_get0_data(text)),
                       static_cast<size_t>(ASN1_STRING_length(text)));
        }
    }
    GENERAL_NAMES_free(names);
    return uri;
}

std::time_t Certificate::notBefore() const {
    return valid() ? timeOf(X509_get0_notBefore(certOf(*this))) : 0;
}

std::time_t Certificate::notAfter() const {
    return valid() ? timeOf(X509_get0_notAfter(certOf(*this))) : 0;
}

} // namespace vorn::ua::security
