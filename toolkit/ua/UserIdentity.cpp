#include "UserIdentity.h"

#include "toolkit/ua/UaIds.h"
#include "toolkit/ua/UaLimits.h"

namespace vorn::ua {
namespace {

// The password and nonce as the client encrypted them: a length, then the bytes.
bool passwordOf(const std::string& plain, const std::string& serverNonce, std::string& password) {
    Decoder d(plain);
    uint32_t length = d.u32();
    if (!d.ok() || length > d.remaining() || length < serverNonce.size())
        return false;
    std::string_view both = d.rawBytes(length);
    if (!security::equalInConstantTime(both.substr(length - serverNonce.size()), serverNonce))
        return false;
    password.assign(both.substr(0, length - serverNonce.size()));
    return true;
}

IdentityToken refusedToken(StatusCode status, std::string userName = {}) {
    IdentityToken token;
    token.status = status;
    token.userName = std::move(userName);
    return token;
}

} // namespace

IdentityToken readIdentityToken(const ServiceContext& core,
                                const security::SecurityPolicy* channelPolicy,
                                const ExtensionObject& token) {
    const security::UserDirectory* users = core.security->users();
    bool anonymous =
        token.typeId.isNull() || token.typeId == NodeId(0, TypeId::kAnonymousIdentityToken);
    if (anonymous) {
        // No policy id is taken as anonymous, as no token is; another id was not offered.
        std::string policyId = token.typeId.isNull() ? "" : Decoder(token.body).string();
        if (!policyId.empty() && policyId != kAnonymousPolicyId)
            return refusedToken(Status::kBadIdentityTokenInvalid);
        IdentityToken identity;
        identity.role = security::UserRole::readWrite;
        if (users) {
            if (!users->allowAnonymous())
                return refusedToken(Status::kBadIdentityTokenRejected);
            identity.role = users->anonymousRole();
        }
        return identity;
    }
    if (token.typeId != NodeId(0, TypeId::kUserNameIdentityToken))
        return refusedToken(Status::kBadIdentityTokenInvalid);

    Decoder d(token.body);
    std::string policyId = d.string();
    IdentityToken identity;
    identity.anonymous = false;
    identity.userName = d.string();
    identity.encryptedPassword = d.string();
    std::string algorithm = d.string();
    identity.policy = core.security->userTokenPolicy(channelPolicy);
    // Passwords in clear are never taken; a password and a nonce fill one block or two, and
    // nothing larger is decrypted.
    const bool taken =
        d.ok() && identity.policy && users && policyId == kUserNamePolicyId &&
        algorithm == identity.policy->asymmetricEncryptionUri() &&
        identity.encryptedPassword.size() <=
            Limits::kMaxUserTokenCipherBlocks * core.security->pki()->privateKey().sizeBytes();
    if (!taken)
        return refusedToken(Status::kBadIdentityTokenInvalid, d.ok() ? identity.userName : "");
    return identity;
}

IdentityResult checkPassword(const ServiceContext& core, const IdentityToken& token,
                             const std::string& serverNonce) {
    const IdentityResult refused{Status::kBadUserAccessDenied, security::UserRole::read};
    std::string plain;
    std::string password;
    if (!token.policy->asymmetricDecrypt(core.security->pki()->privateKey(),
                                         token.encryptedPassword, plain) ||
        !passwordOf(plain, serverNonce, password))
        return refused;
    auto role = security::authenticate(*core.security->users(), token.userName, password);
    if (!role)
        return refused;
    return {Status::kGood, *role};
}

} // namespace vorn::ua
