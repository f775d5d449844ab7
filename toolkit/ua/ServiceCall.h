// What every service handler works with: the request's header and body, where its response
// goes, and the shared encoding of response headers and faults.
#pragma once

#include "toolkit/ua/UaBinary.h"

#include <cstdint>
#include <string>

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

} // namespace vorn::ua
