// Aes128_Sha256_RsaOaep: RSA-OAEP (SHA-1) and RSA PKCS#1 v1.5 with SHA-256; AES-128-CBC,
// HMAC-SHA256.
#include "SecurityPolicy.h"

namespace vorn::ua::security {

const SecurityPolicy& aes128Sha256RsaOaep() {
    static constexpr SecurityPolicy policy({
        "Aes128_Sha256_RsaOaep",
        "http://opcfoundation.org/UA/SecurityPolicy#Aes128_Sha256_RsaOaep",
        16,
        RsaEncryption::oaepSha1,
        RsaSignature::pkcs1v15Sha256,
        "http://www.w3.org/2001/04/xmldsig-more#rsa-sha256",
        "http://www.w3.org/2001/04/xmlenc#rsa-oaep",
        2,
    });
    return policy;
}

} // namespace vorn::ua::security
