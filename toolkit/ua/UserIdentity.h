// Who a session's user is, from ActivateSession's identity token: anonymous (when the
// directory allows it, with its role) or a user name whose password arrives encrypted with the
// server's key under the token policy's algorithm, with the session's last nonce appended.
// Wrong credentials are told apart from nothing: the answer is BadUserAccessDenied, late.
#pragma once

#include "toolkit/ua/ServiceCall.h"
#include "toolkit/ua/ServiceContext.h"

#include <string>

namespace vorn::ua {

constexpr const char* kAnonymousPolicyId = "anonymous";
constexpr const char* kUserNamePolicyId = "username";
// How long a wrong user name or password waits for its answer.
constexpr uint32_t kRefusedLoginDelayMs = 500;

struct IdentityResult {
    StatusCode status = Status::kGood;
    security::UserRole role = security::UserRole::readWrite;
};

// Runs without the session lock (password hashes are slow by design).
IdentityResult checkIdentity(const ServiceContext& core, const ServiceCall& call,
                             const ExtensionObject& token, const std::string& serverNonce);

} // namespace vorn::ua
