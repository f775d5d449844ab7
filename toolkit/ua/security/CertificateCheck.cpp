// Certificate path validation with the trust list, the issuers and the revocation lists.
#include "Crypto.h"

#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

namespace vorn::ua::security {
namespace {

X509_CRL* parseCrl(const Bytes& bytes) {
    if (bytes.find("-----BEGIN X509 CRL-----") != Bytes::npos) {
        std::unique_ptr<BIO, decltype(&BIO_free)> bio(
            BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())), BIO_free);
        return bio ? PEM_read_bio_X509_CRL(bio.get(), nullptr, nullptr, nullptr) : nullptr;
    }
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
    return d2i_X509_CRL(nullptr, &p, static_cast<long>(bytes.size()));
}

// A CA without a revocation list is taken as not revoking anything.
int allowMissingCrl(int ok, X509_STORE_CTX* ctx) {
    int error = X509_STORE_CTX_get_error(ctx);
    if (!ok && (error == X509_V_ERR_UNABLE_TO_GET_CRL))
        return 1;
    return ok;
}

} // namespace

CertificateVerdict verifyCertificate(const Certificate& certificate,
                                     const std::vector<Certificate>& trusted,
                                     const std::vector<Certificate>& issuers,
                                     const std::vector<Bytes>& crls, std::time_t now) {
    if (!certificate.valid())
        return CertificateVerdict::invalid;
    if (now < certificate.notBefore())
        return CertificateVerdict::notYetValid;
    if (now > certificate.notAfter())
        return CertificateVerdict::expired;

    std::unique_ptr<X509_STORE, decltype(&X509_STORE_free)> store(X509_STORE_new(),
                                                                  X509_STORE_free);
    std::unique_ptr<STACK_OF(X509), void (*)(STACK_OF(X509)*)> chain(
        sk_X509_new_null(), [](STACK_OF(X509) * s) { sk_X509_free(s); });
    std::unique_ptr<X509_STORE_CTX, decltype(&X509_STORE_CTX_free)> ctx(X509_STORE_CTX_new(),
                                                                        X509_STORE_CTX_free);
    if (!store || !chain || !ctx)
        return CertificateVerdict::invalid;
    for (const Certificate& c : trusted)
        X509_STORE_add_cert(store.get(), static_cast<X509*>(c.native()));
    for (const Certificate& c : issuers)
        sk_X509_push(chain.get(), static_cast<X509*>(c.native()));
    bool haveCrls = false;
    for (const Bytes& bytes : crls) {
        X509_CRL* crl = parseCrl(bytes);
        if (!crl)
            continue;
        X509_STORE_add_crl(store.get(), crl);
        X509_CRL_free(crl);
        haveCrls = true;
    }
    unsigned long flags = X509_V_FLAG_PARTIAL_CHAIN | X509_V_FLAG_CHECK_SS_SIGNATURE;
    if (haveCrls)
        flags |= X509_V_FLAG_CRL_CHECK | X509_V_FLAG_CRL_CHECK_ALL;
    X509_STORE_set_flags(store.get(), flags);
    X509_STORE_set_verify_cb(store.get(), allowMissingCrl);
    if (X509_STORE_CTX_init(ctx.get(), store.get(), static_cast<X509*>(certificate.native()),
                            chain.get()) != 1)
        return CertificateVerdict::invalid;
    X509_STORE_CTX_set_time(ctx.get(), 0, now);
    if (X509_verify_cert(ctx.get()) == 1)
        return CertificateVerdict::trusted;
    switch (X509_STORE_CTX_get_error(ctx.get())) {
    case X509_V_ERR_CERT_REVOKED:
        return CertificateVerdict::revoked;
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return CertificateVerdict::expired;
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return CertificateVerdict::notYetValid;
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
        return CertificateVerdict::invalid;
    default:
        return CertificateVerdict::untrusted;
    }
}

} // namespace vorn::ua::security
