#include "ServiceCall.h"

#include "toolkit/ua/UaIds.h"

namespace vorn::ua {

RequestHeader decodeRequestHeader(Decoder& in) {
    RequestHeader header;
    header.authenticationToken = in.nodeId();
    in.dateTime();
    header.requestHandle = in.u32();
    in.u32();    // return diagnostics: none are returned
    in.string(); // audit entry id
    header.timeoutHint = in.u32();
    in.extensionObject(); // additional header
    return header;
}

void encodeResponseHeader(Encoder& out, uint32_t requestHandle, StatusCode serviceResult) {
    out.dateTime(nowDateTime());
    out.u32(requestHandle);
    out.statusCode(serviceResult);
    out.emptyDiagnosticInfo();
    out.arrayLength(0); // string table
    out.extensionObject({});
}

std::string serviceFault(uint32_t requestHandle, StatusCode serviceResult) {
    Encoder out;
    encodeResponseHeader(out, requestHandle, serviceResult);
    return std::move(out.bytes());
}

ServiceResponse ServiceResponse::fault(const ServiceCall& call, StatusCode status) {
    return ServiceResponse{TypeId::kServiceFault, serviceFault(call.header.requestHandle, status),
                           false};
}

} // namespace vorn::ua
