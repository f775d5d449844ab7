// Aes256_Sha256_RsaPss: RSA-OAEP with SHA-256 and RSA-PSS with SHA-256; AES-256-CBC,
// HMAC-SHA256.
#include "SecurityPolicy.h"

namespace vorn::ua::security {

const SecurityPolicy& aes256Sha256RsaPss() {
    static constexpr SecurityPolicy policy({
        "Aes256_Sha256_RsaPss",
        "http://opcfoundation.org/UA/SecurityPolicy#Aes256_Sha256_RsaPss",
        32,
        RsaEncryption::oaepSha256,
        RsaSignature::pssSha256,
        "http://opcfoundation.org/UA/security/rsa-pss-sha2-256",
        "http://opcfoundation.org/UA/security/rsa-oaep-sha2-256",
        4,
    });
    return policy;
}

} // namespace vorn::ua::security
