#include "UserIdentity.h"

#include "toolkit/ua/UaIds.h"

#include <chrono>
#include <thread>

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

IdentityResult refused() {
    std::this_thread::sleep_for(std::chrono::milliseconds(kRefusedLoginDelayMs));
    return {Status::kBadUserAccessDenied, security::UserRole::read};
}

} // namespace

IdentityResult checkIdentity(const ServiceContext& core, const ServiceCall& call,
                             const ExtensionObject& token, const std::string& serverNonce) {
    const security::UserDirectory* users = core.security->users();
    bool anonymous =
        token.typeId.isNull() || token.typeId == NodeId(0, TypeId::kAnonymousIdentityToken);
    if (anonymous) {
        if (!users)
            return {};
        if (!users->allowAnonymous())
            return {Status::kBadIdentityTokenRejected, security::UserRole::read};
        return {Status::kGood, users->anonymousRole()};
    }
    if (token.typeId != NodeId(0, TypeId::kUserNameIdentityToken))
        return {Status::kBadIdentityTokenInvalid, security::UserRole::read};

    Decoder d(token.body);
    d.string(); // policy id: one user name policy per endpoint
    std::string userName = d.string();
    std::string encrypted = d.string();
    std::string algorithm = d.string();
    const security::SecurityPolicy* channelPolicy = call.channel ? call.channel->policy : nullptr;
    const security::SecurityPolicy* policy = core.security->userTokenPolicy(channelPolicy);
    if (!d.ok() || !policy || !users)
        return {Status::kBadIdentityTokenInvalid, security::UserRole::read};
    // Passwords in clear are never taken.
    if (algorithm != policy->asymmetricEncryptionUri())
        return {Status::kBadIdentityTokenInvalid, security::UserRole::read};
    std::string plain;
    std::string password;
    if (!policy->asymmetricDecrypt(core.security->pki()->privateKey(), encrypted, plain) ||
        !passwordOf(plain, serverNonce, password))
        return refused();
    auto role = security::authenticate(*users, userName, password);
    if (!role)
        return refused();
    return {Status::kGood, *role};
}

} // namespace vorn::ua
