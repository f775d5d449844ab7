#include "ServerSecurity.h"

#include <algorithm>

namespace vorn::ua::security {
namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::vector<EndpointSecurity> defaultEndpoints() {
    std::vector<EndpointSecurity> endpoints;
    for (const SecurityPolicy* policy : securePolicies()) {
        endpoints.push_back({policy, SecurityMode::signAndEncrypt});
        endpoints.push_back({policy, SecurityMode::sign});
    }
    endpoints.push_back({nullptr, SecurityMode::none});
    return endpoints;
}

std::vector<EndpointSecurity> parseEndpoints(std::string_view text,
                                             std::vector<std::string>* unknown) {
    std::vector<EndpointSecurity> endpoints;
    while (!text.empty()) {
        size_t comma = text.find(',');
        std::string_view entry = trimmed(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        if (entry.empty())
            continue;
        EndpointSecurity endpoint;
        bool known = false;
        if (entry == "None") {
            known = true;
        } else if (size_t dash = entry.rfind('-'); dash != std::string_view::npos) {
            endpoint.policy = findSecurityPolicy(entry.substr(0, dash));
            std::string_view mode = entry.substr(dash + 1);
            endpoint.mode = mode == "Sign"             ? SecurityMode::sign
                            : mode == "SignAndEncrypt" ? SecurityMode::signAndEncrypt
                                                       : SecurityMode::invalid;
            known = endpoint.policy && endpoint.mode != SecurityMode::invalid;
        }
        if (!known) {
            if (unknown)
                unknown->emplace_back(entry);
            continue;
        }
        if (std::find(endpoints.begin(), endpoints.end(), endpoint) == endpoints.end())
            endpoints.push_back(endpoint);
    }
    return endpoints;
}

ServerSecurity::ServerSecurity(std::vector<EndpointSecurity> endpoints,
                               std::unique_ptr<PkiStore> pki,
                               std::shared_ptr<const UserDirectory> users)
    : endpoints_(std::move(endpoints)), pki_(std::move(pki)), users_(std::move(users)) {}

const SecurityPolicy* ServerSecurity::userTokenPolicy(const SecurityPolicy* endpointPolicy) const {
    if (!users_ || !pki_)
        return nullptr;
    return endpointPolicy ? endpointPolicy : &basic256Sha256();
}

const ServerSecurity& ServerSecurity::noneOnly() {
    static const ServerSecurity none({{nullptr, SecurityMode::none}}, nullptr);
    return none;
}

bool ServerSecurity::offers(const SecurityPolicy* policy, SecurityMode mode) const {
    if (policy && !pki_)
        return false;
    return std::find(endpoints_.begin(), endpoints_.end(), EndpointSecurity{policy, mode}) !=
           endpoints_.end();
}

bool ServerSecurity::offersPolicy(const SecurityPolicy* policy) const {
    return offers(policy, SecurityMode::sign) || offers(policy, SecurityMode::signAndEncrypt);
}

} // namespace vorn::ua::security
