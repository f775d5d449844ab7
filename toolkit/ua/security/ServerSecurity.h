// The server's side of security: which policy and mode pairs its endpoints offer (registry
// value SecurityPolicies, e.g. "None,Basic256Sha256-SignAndEncrypt,Aes256_Sha256_RsaPss-Sign"),
// and its PKI folder (certificate, key, trust list). Shared read-only by every channel and the
// session services once the server runs.
#pragma once

#include "toolkit/ua/security/PkiStore.h"
#include "toolkit/ua/security/SecurityPolicy.h"
#include "toolkit/ua/security/UserAccounts.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::ua::security {

struct EndpointSecurity {
    const SecurityPolicy* policy = nullptr; // nullptr: None
    SecurityMode mode = SecurityMode::none;

    bool operator==(const EndpointSecurity&) const = default;
};

// What the services know of the channel a request came on.
struct ChannelSecurity {
    const SecurityPolicy* policy = nullptr; // nullptr: None
    SecurityMode mode = SecurityMode::none;
    Certificate clientCertificate;
};

// Every secure policy with Sign and SignAndEncrypt, strongest first, then None.
std::vector<EndpointSecurity> defaultEndpoints();
// Entries separated by commas: "None" or "<policy>-Sign" / "<policy>-SignAndEncrypt". Entries
// it does not know go to `unknown`; duplicates are dropped.
std::vector<EndpointSecurity> parseEndpoints(std::string_view text,
                                             std::vector<std::string>* unknown);

class ServerSecurity {
public:
    // One endpoint, policy None, no PKI.
    static const ServerSecurity& noneOnly();
    // `pki` may be null when only None is offered; without `users` every session is anonymous
    // with read and write rights.
    ServerSecurity(std::vector<EndpointSecurity> endpoints, std::unique_ptr<PkiStore> pki,
                   std::shared_ptr<const UserDirectory> users = nullptr);

    const std::vector<EndpointSecurity>& endpoints() const { return endpoints_; }
    bool offers(const SecurityPolicy* policy, SecurityMode mode) const;
    bool offersPolicy(const SecurityPolicy* policy) const;
    // Null when only None is offered.
    const PkiStore* pki() const { return pki_.get(); }
    const UserDirectory* users() const { return users_.get(); }
    // The policy that encrypts a password on an endpoint: the endpoint's own, or on a None
    // endpoint Basic256Sha256 with the server's key; null when passwords cannot be taken there.
    const SecurityPolicy* userTokenPolicy(const SecurityPolicy* endpointPolicy) const;

private:
    std::vector<EndpointSecurity> endpoints_;
    std::unique_ptr<PkiStore> pki_;
    std::shared_ptr<const UserDirectory> users_;
};

} // namespace vorn::ua::security
