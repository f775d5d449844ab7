// Basic256Sha256: RSA-OAEP (SHA-1) and RSA PKCS#1 v1.5 with SHA-256; AES-256-CBC, HMAC-SHA256.
#include "SecurityPolicy.h"

namespace vorn::ua::security {

const SecurityPolicy& basic256Sha256() {
    static constexpr SecurityPolicy policy({
        "Basic256Sha256",
        "http://opcfoundation.org/UA/SecurityPolicy#Basic256Sha256",
        32,
        RsaEncryption::oaepSha1,
        RsaSignature::pkcs1v15Sha256,
        "http://www.w3.org/2001/04/xmldsig-more#rsa-sha256",
        "http://www.w3.org/2001/04/xmlenc#rsa-oaep",
        3,
    });
    return policy;
}

} // namespace vorn::ua::security
