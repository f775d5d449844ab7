// GetEndpoints and FindServers: one endpoint, security policy None, anonymous identity.
#include "Services.h"
#include "toolkit/ua/SecureChannel.h"
#include "toolkit/ua/UaIds.h"
#include "toolkit/ua/UaLimits.h"

namespace vorn::ua {
namespace {

constexpr const char* kTransportProfile =
    "http://opcfoundation.org/UA-Profile/Transport/uatcp-uasc-uabinary";
constexpr uint32_t kApplicationTypeServer = 0;
constexpr uint32_t kSecurityModeNone = 1;
constexpr uint32_t kTokenAnonymous = 0;

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

void encodeEndpoints(ServiceContext& core, Encoder& out, const std::string& endpointUrl) {
    out.arrayLength(1);
    out.string(endpointUrl);
    encodeApplicationDescription(core, out, endpointUrl);
    out.nullString(); // server certificate
    out.u32(kSecurityModeNone);
    out.string(kSecurityPolicyNone);
    out.arrayLength(1); // user token policies
    out.string("anonymous");
    out.u32(kTokenAnonymous);
    out.nullString();
    out.nullString();
    out.string(kSecurityPolicyNone);
    out.string(kTransportProfile);
    out.u8(0); // security level
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
