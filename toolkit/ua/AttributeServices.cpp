// Read and Write. Read with maxAge 0 reads tags from their devices: one toolkit request per
// tag, all handed to the tags together, so the engine serves them in one cycle; any other
// maxAge answers from the caches. Write hands each value to its tag as a toolkit write request
// the same way and reports the request's result and quality. A call that waits for devices is
// parked and answered when the engine has completed its requests, so it holds no service
// thread.
#include "Services.h"
#include "toolkit/SODaSRequest.h"
#include "toolkit/ua/AttributeReader.h"
#include "toolkit/ua/DaMapping.h"
#include "toolkit/ua/UaIds.h"
#include "toolkit/ua/UaLimits.h"
#include "toolkit/ua/WriteConversion.h"

#include <chrono>
#include <cmath>

namespace vorn::ua {
namespace {

struct ReadValueId {
    NodeId nodeId;
    uint32_t attributeId = 0;
    std::string indexRange;
    QualifiedName dataEncoding;
};

ParkedCalls::Clock::time_point deadlineOf(const ServiceContext& core, const RequestHeader& header) {
    uint32_t limit = core.settings.requestTimeoutMs;
    if (header.timeoutHint)
        limit = std::min(limit, header.timeoutHint);
    return ParkedCalls::Clock::now() + std::chrono::milliseconds(limit);
}

// Why a call that would wait for devices finds no room: the server shuts down, or the
// session or all sessions hold as many as they may.
StatusCode refusedParking(const ServiceContext& core) {
    return core.parked.isStopped() ? Status::kBadShutdown : Status::kBadTooManyOperations;
}

// A Value read from the device: the tag's fresh cache once the engine completed the request.
bool isDeviceRead(const Node& node, const ReadValueId& r, double maxAge) {
    return r.attributeId == AttributeId::kValue && maxAge == 0 && node.tag &&
           (node.accessLevel & 0x01) && node.tag->getDeviceIOMode() == kDeviceIOModeRequest &&
           r.dataEncoding.name.empty();
}

// The Read response; `devices` are the toolkit requests of the nodes read from devices, in
// node order, `unfinished` the status of those not complete.
std::string readResponse(const ServiceContext& core, uint32_t requestHandle,
                         const std::vector<ReadValueId>& nodes, double maxAge, uint32_t timestamps,
                         bool userMayWrite, const ParkedCalls::Requests& devices,
                         StatusCode unfinished) {
    Encoder out;
    encodeResponseHeader(out, requestHandle, Status::kGood);
    out.arrayLength(nodes.size());
    size_t device = 0;
    for (const ReadValueId& r : nodes) {
        DataValue result;
        NodePtr node = core.space.find(r.nodeId);
        if (!node) {
            result = statusOnly(Status::kBadNodeIdUnknown);
        } else if (!r.dataEncoding.name.empty()) {
            result = statusOnly(Status::kBadDataEncodingUnsupported);
        } else if (isDeviceRead(*node, r, maxAge) && device < devices.size()) {
            // The engine completes device reads after storing the values in the caches.
            const SODaSRequest& request = *devices[device++];
            if (!request.isCompleted())
                result = statusOnly(unfinished);
            else if (!succeeded(request.getResult()))
                result = statusOnly(statusOfReadFailure(request.getResult()));
            else
                result = tagDataValue(node->tag->getCache()->snapshot(), timestamps);
        } else {
            result = readAttribute(*node, r.attributeId, timestamps, userMayWrite);
        }
        if (!r.indexRange.empty() && !Status::isBad(result.status))
            applyIndexRange(r.indexRange, result);
        out.dataValue(result);
    }
    out.arrayLength(0);
    return std::move(out.bytes());
}

// ArrayDimensions, when given, must agree with the array: tag arrays have one dimension.
bool dimensionsFitLength(const Variant& value) {
    return value.dimensions.empty() ||
           (value.dimensions.size() == 1 &&
            static_cast<int64_t>(value.dimensions[0]) == static_cast<int64_t>(value.values.size()));
}

// The session's user; sessions made without one (tests) act as anonymous users that may write.
const SessionUser& userOf(const ServiceCall& call) {
    static const SessionUser anyone;
    return call.user ? *call.user : anyone;
}

using Writes = std::vector<std::pair<size_t, SOCmnPointer<SODaSRequest>>>;

// The results with those of the writes filled in: the engine completes writes with the
// transfer's result and quality; a write not complete by the answer gets `unfinished`
// (BadTimeout after the deadline, BadShutdown when the server stops).
std::vector<StatusCode> withOutcomes(std::vector<StatusCode> results, const Writes& writes,
                                     StatusCode unfinished) {
    for (const auto& [index, request] : writes) {
        if (!request->isCompleted()) {
            results[index] = unfinished;
            continue;
        }
        WriteResult outcome;
        outcome.result = request->getResult();
        outcome.hasQuality = request->getQuality(outcome.quality);
        results[index] = statusOfWrite(outcome);
    }
    return results;
}

// Each write handed to a device, with its user, item, value and outcome, for the operator.
void auditWrites(const SessionUser& user, const Writes& writes,
                 const std::vector<StatusCode>& results) {
    for (const auto& [index, request] : writes) {
        auto tag = request->getItemTag();
        auditWrite(user, tag ? tag->getItemID() : "?", toUaVariant(request->getWriteValue()),
                   results[index], request->isCompleted());
    }
}

std::string writeResponse(uint32_t requestHandle, const std::vector<StatusCode>& results) {
    Encoder out;
    encodeResponseHeader(out, requestHandle, Status::kGood);
    out.arrayLength(results.size());
    for (StatusCode s : results)
        out.statusCode(s);
    out.arrayLength(0);
    return std::move(out.bytes());
}

} // namespace

ServiceResponse read(ServiceContext& core, ServiceCall& call) {
    Decoder& in = call.in;
    double maxAge = in.f64();
    uint32_t timestamps = in.u32();
    uint32_t count = in.arrayLength(11);
    if (count > Limits::kMaxNodesPerRead)
        return ServiceResponse::fault(call, Status::kBadTooManyOperations);
    std::vector<ReadValueId> nodes(count);
    for (ReadValueId& r : nodes) {
        r.nodeId = in.nodeId();
        r.attributeId = in.u32();
        r.indexRange = in.string();
        r.dataEncoding = in.qualifiedName();
    }
    if (!in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    if (count == 0)
        return ServiceResponse::fault(call, Status::kBadNothingToDo);
    if (timestamps > TimestampsToReturn::kNeither)
        return ServiceResponse::fault(call, Status::kBadTimestampsToReturnInvalid);
    if (!(maxAge >= 0)) // negative or NaN
        return ServiceResponse::fault(call, Status::kBadMaxAgeInvalid);

    // Only the request is kept while it waits: the answer is made once the devices answered.
    ParkedCalls::Requests devices;
    std::vector<SODaSTag*> deviceTags;
    // Only maxAge 0 reads devices; a tag's node is made at each lookup, so spare it otherwise.
    for (const ReadValueId& r : maxAge == 0 ? nodes : std::vector<ReadValueId>()) {
        NodePtr node = core.space.find(r.nodeId);
        if (node && isDeviceRead(*node, r, maxAge))
            deviceTags.push_back(node->tag.get());
    }
    const bool userMayWrite = userOf(call).mayWrite();
    if (deviceTags.empty())
        return {TypeId::kReadResponse,
                readResponse(core, call.header.requestHandle, nodes, maxAge, timestamps,
                             userMayWrite, devices, Status::kGood)};

    ParkedCalls::Size size{deviceTags.size(), in.position() + count * sizeof(ReadValueId) +
                                                  deviceTags.size() * sizeof(SODaSRequest)};
    const NodeId& session = call.header.authenticationToken;
    if (!core.parked.reserve(session, size))
        return ServiceResponse::fault(call, refusedParking(core));
    for (SODaSTag* tag : deviceTags) {
        auto request = makeObject<SODaSRequest>(SODaSRequest::read, SODaSRequest::kSyncDevice, tag);
        tag->handleRequest(*request);
        devices.push_back(std::move(request));
    }
    if (ParkedCalls::allComplete(devices)) { // the tags answered at once
        core.parked.unreserve(session, size);
        return {TypeId::kReadResponse,
                readResponse(core, call.header.requestHandle, nodes, maxAge, timestamps,
                             userMayWrite, devices, Status::kGood)};
    }
    auto answer = [&core, connectionId = call.connectionId, requestId = call.requestId,
                   handle = call.header.requestHandle, nodes = std::move(nodes), maxAge, timestamps,
                   userMayWrite, devices](StatusCode unfinished) {
        core.sink.sendResponse(connectionId, requestId, TypeId::kReadResponse,
                               readResponse(core, handle, nodes, maxAge, timestamps, userMayWrite,
                                            devices, unfinished));
    };
    core.parked.park(session, size, std::move(devices), deadlineOf(core, call.header),
                     std::move(answer));
    return ServiceResponse::later();
}

ServiceResponse write(ServiceContext& core, ServiceCall& call) {
    struct WriteValue {
        NodeId nodeId;
        uint32_t attributeId = 0;
        std::string indexRange;
        DataValue value;
    };
    Decoder& in = call.in;
    uint32_t count = in.arrayLength(12);
    if (count > Limits::kMaxNodesPerWrite)
        return ServiceResponse::fault(call, Status::kBadTooManyOperations);
    std::vector<WriteValue> nodes(count);
    for (WriteValue& w : nodes) {
        w.nodeId = in.nodeId();
        w.attributeId = in.u32();
        w.indexRange = in.string();
        w.value = in.dataValue();
    }
    if (!in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    if (count == 0)
        return ServiceResponse::fault(call, Status::kBadNothingToDo);

    std::vector<StatusCode> results(count, Status::kGood);
    Writes writes;
    for (size_t i = 0; i < count; ++i) {
        const WriteValue& w = nodes[i];
        NodePtr node = core.space.find(w.nodeId);
        if (!node) {
            results[i] = Status::kBadNodeIdUnknown;
            continue;
        }
        if (w.attributeId < AttributeId::kNodeId || w.attributeId > AttributeId::kHistorizing) {
            results[i] = Status::kBadAttributeIdInvalid;
            continue;
        }
        if (w.attributeId != AttributeId::kValue || !node->tag || !(node->accessLevel & 0x02)) {
            results[i] = Status::kBadNotWritable;
            continue;
        }
        if (!userOf(call).mayWrite()) {
            auditWriteRefused(userOf(call), w.nodeId.text);
            results[i] = Status::kBadUserAccessDenied;
            continue;
        }
        if (!w.indexRange.empty()) {
            results[i] = Status::kBadIndexRangeInvalid;
            continue;
        }
        if (!dimensionsFitLength(w.value.value)) {
            results[i] = Status::kBadTypeMismatch;
            continue;
        }
        vorn::Variant value;
        StatusCode converted =
            w.value.hasValue
                ? convertWrittenValue(w.value.value, node->tag->getNativeDatatype(), value)
                : Status::kBadTypeMismatch;
        if (converted != Status::kGood) {
            results[i] = converted;
            continue;
        }
        writes.emplace_back(i,
                            makeObject<SODaSRequest>(SODaSRequest::write, SODaSRequest::kSyncDevice,
                                                     node->tag.get(), std::move(value)));
    }

    if (writes.empty())
        return {TypeId::kWriteResponse, writeResponse(call.header.requestHandle, results)};

    ParkedCalls::Size size{writes.size(), in.position() + count * sizeof(StatusCode) +
                                              writes.size() * sizeof(SODaSRequest)};
    const NodeId& session = call.header.authenticationToken;
    if (!core.parked.reserve(session, size))
        return ServiceResponse::fault(call, refusedParking(core));
    ParkedCalls::Requests requests;
    for (auto& [index, request] : writes) {
        request->getItemTag()->handleRequest(*request);
        requests.push_back(request);
    }
    if (ParkedCalls::allComplete(requests)) { // the tags answered at once
        core.parked.unreserve(session, size);
        std::vector<StatusCode> outcomes = withOutcomes(results, writes, Status::kGood);
        auditWrites(userOf(call), writes, outcomes);
        return {TypeId::kWriteResponse, writeResponse(call.header.requestHandle, outcomes)};
    }
    auto answer = [&core, connectionId = call.connectionId, requestId = call.requestId,
                   handle = call.header.requestHandle, results = std::move(results),
                   writes = std::move(writes), user = call.user](StatusCode unfinished) {
        std::vector<StatusCode> outcomes = withOutcomes(results, writes, unfinished);
        auditWrites(user ? *user : SessionUser{}, writes, outcomes);
        core.sink.sendResponse(connectionId, requestId, TypeId::kWriteResponse,
                               writeResponse(handle, outcomes));
    };
    core.parked.park(session, size, std::move(requests), deadlineOf(core, call.header),
                     std::move(answer));
    return ServiceResponse::later();
}

} // namespace vorn::ua
