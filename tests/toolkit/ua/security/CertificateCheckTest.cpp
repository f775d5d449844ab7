// Certificate path validation through the PKI folder: a client issued by a trusted CA is
// accepted until the CA's revocation list names it; a CA kept only in issuers/certs completes
// the chain but does not make it trusted; certificates outside their validity are refused.
#include "SecureTestClient.h"
#include "toolkit/ua/security/PkiStore.h"

#include <fstream>
#include <gtest/gtest.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

using namespace vorn::ua;
using namespace vorn::ua::security;
using vorn::ua::test::ScratchFolder;

namespace {

// A small CA made with the library directly: its certificate signs clients and its list.
struct TestCa {
    RsaKey key = *RsaKey::generate(2048);
    X509* cert = X509_new();

    TestCa() {
        X509_set_version(cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
        X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
        X509_gmtime_adj(X509_getm_notAfter(cert), 3600L * 24 * 30);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("Test CA"), -1, -1, 0);
        X509_set_issuer_name(cert, name);
        X509_set_pubkey(cert, pkey());
        extend(cert, NID_basic_constraints, "critical,CA:TRUE");
        extend(cert, NID_key_usage, "critical,keyCertSign,cRLSign");
        X509_sign(cert, pkey(), EVP_sha256());
    }
    ~TestCa() { X509_free(cert); }
    EVP_PKEY* pkey() const { return static_cast<EVP_PKEY*>(key.native()); }

    void extend(X509* subject, int nid, const char* value) {
        X509V3_CTX ctx;
        X509V3_set_ctx_nodb(&ctx);
        X509V3_set_ctx(&ctx, cert, subject, nullptr, nullptr, 0);
        X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
        X509_add_ext(subject, ext, -1);
        X509_EXTENSION_free(ext);
    }

    std::string der(X509* x) const {
        unsigned char* out = nullptr;
        int length = i2d_X509(x, &out);
        std::string bytes(reinterpret_cast<char*>(out), static_cast<size_t>(length));
        OPENSSL_free(out);
        return bytes;
    }

    Certificate issue(long serial, const RsaKey& subjectKey) {
        X509* x = X509_new();
        X509_set_version(x, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(x), serial);
        X509_gmtime_adj(X509_getm_notBefore(x), -3600);
        X509_gmtime_adj(X509_getm_notAfter(x), 3600L * 24 * 10);
        X509_NAME* name = X509_get_subject_name(x);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("client"), -1, -1, 0);
        X509_set_issuer_name(x, X509_get_subject_name(cert));
        X509_set_pubkey(x, static_cast<EVP_PKEY*>(subjectKey.native()));
        extend(x, NID_subject_alt_name, "URI:urn:client");
        X509_sign(x, pkey(), EVP_sha256());
        auto issued = Certificate::fromDer(der(x));
        X509_free(x);
        return *issued;
    }

    std::string revocationList(long revokedSerial) {
        X509_CRL* crl = X509_CRL_new();
        X509_CRL_set_version(crl, 1);
        X509_CRL_set_issuer_name(crl, X509_get_subject_name(cert));
        ASN1_TIME* now = X509_gmtime_adj(nullptr, -60);
        ASN1_TIME* next = X509_gmtime_adj(nullptr, 3600L * 24);
        X509_CRL_set1_lastUpdate(crl, now);
        X509_CRL_set1_nextUpdate(crl, next);
        X509_REVOKED* revoked = X509_REVOKED_new();
        ASN1_INTEGER* number = ASN1_INTEGER_new();
        ASN1_INTEGER_set(number, revokedSerial);
        X509_REVOKED_set_serialNumber(revoked, number);
        X509_REVOKED_set_revocationDate(revoked, now);
        X509_CRL_add0_revoked(crl, revoked);
        X509_CRL_sort(crl);
        X509_CRL_sign(crl, pkey(), EVP_sha256());
        unsigned char* out = nullptr;
        int length = i2d_X509_CRL(crl, &out);
        std::string bytes(reinterpret_cast<char*>(out), static_cast<size_t>(length));
        OPENSSL_free(out);
        ASN1_INTEGER_free(number);
        ASN1_TIME_free(now);
        ASN1_TIME_free(next);
        X509_CRL_free(crl);
        return bytes;
    }
};

void write(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace

TEST(CertificateCheck, ACaInTheTrustListVouchesForItsClientsUntilItRevokesThem) {
    ScratchFolder scratch;
    PkiStore pki(scratch.path);
    std::string error;
    ASSERT_TRUE(pki.loadOrCreateOwn("Tarnvale", "urn:s", "h", &error)) << error;
    TestCa ca;
    RsaKey clientKey = *RsaKey::generate(2048);
    Certificate first = ca.issue(10, clientKey);
    Certificate second = ca.issue(11, clientKey);

    // The CA only among the issuers: the chain is complete, but nothing in it is trusted.
    write(scratch.path / "issuers/certs/ca.der", ca.der(ca.cert));
    EXPECT_EQ(pki.checkClientCertificate(first), Status::kBadSecurityChecksFailed);

    std::filesystem::rename(scratch.path / "issuers/certs/ca.der",
                            scratch.path / "trusted/certs/ca.der");
    EXPECT_EQ(pki.checkClientCertificate(first), Status::kGood);
    write(scratch.path / "trusted/crl/ca.crl", ca.revocationList(10));
    EXPECT_EQ(pki.checkClientCertificate(first), Status::kBadCertificateRevoked);
    EXPECT_EQ(pki.checkClientCertificate(second), Status::kGood);
}

TEST(CertificateCheck, CertificatesOutsideTheirValidityAreRefused) {
    RsaKey key = *RsaKey::generate(2048);
    Certificate certificate =
        *Certificate::createSelfSigned(key, "c", "Tests", "urn:c", "localhost", 10);
    std::time_t now = std::time(nullptr);
    EXPECT_EQ(verifyCertificate(certificate, {certificate}, {}, {}, now),
              CertificateVerdict::trusted);
    EXPECT_EQ(verifyCertificate(certificate, {certificate}, {}, {}, now + 11 * 24 * 3600),
              CertificateVerdict::expired);
    EXPECT_EQ(verifyCertificate(certificate, {certificate}, {}, {}, now - 2 * 24 * 3600),
              CertificateVerdict::notYetValid);
    EXPECT_EQ(verifyCertificate(certificate, {}, {}, {}, now), CertificateVerdict::untrusted);
}
