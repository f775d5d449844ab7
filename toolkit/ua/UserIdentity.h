// Who a session's user is, from ActivateSession's identity token: anonymous (when the
// directory allows it, with its role) or a user name whose password arrives encrypted with the
// server's key under the token policy's algorithm, with the session's last nonce appended.
// The token is first read and checked as far as that costs nothing (its type and policy id
// against what the endpoint offered, the password's algorithm and size); the password itself
// is checked by the admission checks (AdmissionChecks.h), away from the service threads.
// Wrong credentials are told apart from nothing: the answer is BadUserAccessDenied, late.
// User names are looked up ignoring case, as the registry they live in does.
#pragma once

#include "toolkit/ua/ServiceContext.h"

#include <string>

namespace vorn::ua {

constexpr const char* kAnonymousPolicyId = "anonymous";
constexpr const char* kUserNamePolicyId = "username";
// How long after its request a wrong user name or password is answered.
constexpr uint32_t kRefusedLoginDelayMs = 500;

struct IdentityToken {
    // Bad: the token is refused as it is, nothing else to check.
    StatusCode status = Status::kGood;
    bool anonymous = true;
    security::UserRole role = security::UserRole::read; // anonymous: the directory's role
    std::string userName;
    std::string encryptedPassword;
    const security::SecurityPolicy* policy = nullptr; // that encrypted the password
};

struct IdentityResult {
    StatusCode status = Status::kGood;
    security::UserRole role = security::UserRole::read;
};

// Reads the token of a request on a channel of `channelPolicy` (null: None). Cheap.
IdentityToken readIdentityToken(const ServiceContext& core,
                                const security::SecurityPolicy* channelPolicy,
                                const ExtensionObject& token);
// Decrypts a user name token's password and compares it with the account's hash: slow by
// design (RSA and PBKDF2), for the admission checks' threads.
IdentityResult checkPassword(const ServiceContext& core, const IdentityToken& token,
                             const std::string& serverNonce);

} // namespace vorn::ua
