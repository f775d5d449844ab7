// GetEndpoints and FindServers: one endpoint per policy and mode the server offers, each with
// the server's certificate and its user token policies.
#include "Services.h"
#include "toolkit/ua/SecureChannel.h"
#include "toolkit/ua/UaIds.h"
#include "toolkit/ua/UaLimits.h"
#include "toolkit/ua/UserIdentity.h"

namespace vorn::ua {
namespace {

constexpr const char* kTransportProfile =
    "http://opcfoundation.org/UA-Profile/Transport/uatcp-uasc-uabinary";
constexpr uint32_t kApplicationTypeServer = 0;
constexpr uint32_t kTokenAnonymous = 0;
constexpr uint32_t kTokenUserName = 1;
// Endpoints with encryption rank above those that only sign.
constexpr uint8_t kEncryptionLevelBonus = 10;

} // namespace

void encodeApplicationDescription(ServiceContext& core, Encoder& out,
                                  const std::string& endpointUrl) {
    out.string(core.settings.applicationUri);
    out.string(core.settings.productUri);
    out.localizedText(LocalizedText{"", core.settings.productName});
    out.u32(kApplicationTypeServer);
    out.nullString(); // gateway server URI
    out.nullString(); // discovery profile URI
    out.arrayLength(1);
    out.string(endpointUrl);
}

// Anonymous unless refused, and user names where a password can travel encrypted.
void encodeUserTokenPolicies(ServiceContext& core, Encoder& out,
                             const security::SecurityPolicy* endpointPolicy) {
    const security::UserDirectory* users = core.security->users();
    bool anonymous = !users || users->allowAnonymous();
    const security::SecurityPolicy* passwordPolicy = core.security->userTokenPolicy(endpointPolicy);
    out.arrayLength((anonymous ? 1 : 0) + (passwordPolicy ? 1 : 0));
    if (anonymous) {
        out.string(kAnonymousPolicyId);
        out.u32(kTokenAnonymous);
        out.nullString();
        out.nullString();
        out.string(kSecurityPolicyNone);
    }
    if (passwordPolicy) {
        out.string(kUserNamePolicyId);
        out.u32(kTokenUserName);
        out.nullString();
        out.nullString();
        out.string(passwordPolicy->uri());
    }
}

void encodeEndpoints(ServiceContext& core, Encoder& out, const std::string& endpointUrl) {
    using security::SecurityMode;
    const auto& endpoints = core.security->endpoints();
    const security::PkiStore* pki = core.security->pki();
    out.arrayLength(endpoints.size());
    for (const security::EndpointSecurity& endpoint : endpoints) {
        out.string(endpointUrl);
        encodeApplicationDescription(core, out, endpointUrl);
        if (pki)
            out.string(pki->certificate().der());
        else
            out.nullString();
        out.u32(static_cast<uint32_t>(endpoint.mode));
        out.string(endpoint.policy ? endpoint.policy->uri() : kSecurityPolicyNone);
        encodeUserTokenPolicies(core, out, endpoint.policy);
        out.string(kTransportProfile);
        uint8_t level = 0;
        if (endpoint.policy)
            level = endpoint.policy->securityLevel() +
                    (endpoint.mode == SecurityMode::signAndEncrypt ? kEncryptionLevelBonus : 0);
        out.u8(level);
    }
}

ServiceResponse getEndpoints(ServiceContext& core, ServiceCall& call) {
    std::string endpointUrl = call.in.string();
    uint32_t locales = call.in.arrayLength(4);
    for (uint32_t i = 0; i < locales; ++i)
        call.in.string();
    uint32_t profiles = call.in.arrayLength(4);
    bool binaryWanted = profiles == 0;
    for (uint32_t i = 0; i < profiles; ++i)
        binaryWanted |= call.in.string() == kTransportProfile;
    if (!call.in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    if (endpointUrl.size() > Limits::kMaxEndpointUrlLength) // echoed in the response
        return ServiceResponse::fault(call, Status::kBadEncodingLimitsExceeded);
    Encoder out;
    encodeResponseHeader(out, call.header.requestHandle, Status::kGood);
    if (binaryWanted)
        encodeEndpoints(core, out, endpointUrl);
    else
        out.arrayLength(0);
    return {TypeId::kGetEndpointsResponse, std::move(out.bytes())};
}

ServiceResponse findServers(ServiceContext& core, ServiceCall& call) {
    std::string endpointUrl = call.in.string();
    uint32_t locales = call.in.arrayLength(4);
    for (uint32_t i = 0; i < locales; ++i)
        call.in.string();
    uint32_t uris = call.in.arrayLength(4);
    bool wanted = uris == 0;
    for (uint32_t i = 0; i < uris; ++i)
        wanted |= call.in.string() == core.settings.applicationUri;
    if (!call.in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    if (endpointUrl.size() > Limits::kMaxEndpointUrlLength) // echoed in the response
        return ServiceResponse::fault(call, Status::kBadEncodingLimitsExceeded);
    Encoder out;
    encodeResponseHeader(out, call.header.requestHandle, Status::kGood);
    out.arrayLength(wanted ? 1 : 0);
    if (wanted)
        encodeApplicationDescription(core, out, endpointUrl);
    return {TypeId::kFindServersResponse, std::move(out.bytes())};
}

} // namespace vorn::ua
