// What every service handler works with: the request's header and body, where its response
// goes, and the shared encoding of response headers and faults.
#pragma once

#include "toolkit/ua/AuditTrail.h"
#include "toolkit/ua/UaBinary.h"
#include "toolkit/ua/UaStatusCodes.h"
#include "toolkit/ua/security/ServerSecurity.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vorn::ua {

struct RequestHeader {
    NodeId authenticationToken;
    uint32_t requestHandle = 0;
    uint32_t timeoutHint = 0; // ms; 0: none
};

RequestHeader decodeRequestHeader(Decoder& in);
void encodeResponseHeader(Encoder& out, uint32_t requestHandle, StatusCode serviceResult);
// A ServiceFault body (ResponseHeader only).
std::string serviceFault(uint32_t requestHandle, StatusCode serviceResult);

// Where responses go: the connection that carried the request. Implemented by the network
// layer; a response for a connection that has gone is dropped.
class ResponseSink {
public:
    virtual ~ResponseSink() = default;
    virtual void sendResponse(uint64_t connectionId, uint32_t requestId, uint32_t typeId,
                              std::string body) = 0;
};

struct ServiceCall {
    uint64_t connectionId = 0;
    uint32_t requestId = 0;
    RequestHeader header;
    Decoder& in;
    // The channel's policy, mode and client certificate; null: policy None.
    const security::ChannelSecurity* channel = nullptr;
    // Where the client connects from.
    std::shared_ptr<const ClientAddress> client;
    // The session's user and rights (set by the dispatcher before the lock is released).
    std::shared_ptr<const SessionUser> user;
};

// A handler's answer: the response type and body, or none when the answer comes later
// (parked Publish requests).
struct ServiceResponse {
    uint32_t typeId = 0;
    std::string body;
    bool deferred = false;

    static ServiceResponse fault(const ServiceCall& call, StatusCode status);
    static ServiceResponse later() { return ServiceResponse{0, {}, true}; }
};

// The response of the services that act on a list of identifiers (subscriptions, monitored
// items): one StatusCode per identifier, from `apply`, and no diagnostics.
template <typename Apply>
ServiceResponse perIdentifierResponse(const ServiceCall& call, uint32_t responseType,
                                      const std::vector<uint32_t>& ids, Apply apply) {
    Encoder out;
    encodeResponseHeader(out, call.header.requestHandle, Status::kGood);
    out.arrayLength(ids.size());
    for (uint32_t id : ids)
        out.statusCode(apply(id));
    out.arrayLength(0);
    return {responseType, std::move(out.bytes())};
}

} // namespace vorn::ua
