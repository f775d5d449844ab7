// Read and Write. Read with maxAge 0 reads tags from their devices: one toolkit request per
// tag, all handed to the tags before waiting, so the engine serves them in one cycle; any
// other maxAge answers from the caches. Write hands each value to its tag as a toolkit write
// request the same way and reports the request's result and quality.
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

using Clock = std::chrono::steady_clock;

// Slice of a wait for the engine, so that a stopping server is not held up.
constexpr uint32_t kWaitSliceMs = 50;

Clock::time_point deadlineOf(const ServiceContext& core, const RequestHeader& header) {
    uint32_t limit = core.settings.requestTimeoutMs;
    if (header.timeoutHint)
        limit = std::min(limit, header.timeoutHint);
    return Clock::now() + std::chrono::milliseconds(limit);
}

// True when the engine completed the request before the deadline and the server still runs.
bool awaitCompletion(const ServiceContext& core, SODaSRequest& request,
                     Clock::time_point deadline) {
    while (!request.isCompleted()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || core.stopping.load())
            return false;
        request.waitForCompletion(
            static_cast<uint32_t>(std::min<int64_t>(left.count(), kWaitSliceMs)));
    }
    return true;
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

    std::vector<DataValue> results(count);
    std::vector<std::pair<size_t, SOCmnPointer<SODaSRequest>>> deviceReads;
    for (size_t i = 0; i < count; ++i) {
        const ReadValueId& r = nodes[i];
        const Node* node = core.space.find(r.nodeId);
        if (!node) {
            results[i] = statusOnly(Status::kBadNodeIdUnknown);
            continue;
        }
        bool value = r.attributeId == AttributeId::kValue;
        if (!r.dataEncoding.name.empty()) {
            results[i] = statusOnly(Status::kBadDataEncodingUnsupported);
            continue;
        }
        if (value && maxAge == 0 && node->tag && (node->accessLevel & 0x01) &&
            node->tag->getDeviceIOMode() == kDeviceIOModeRequest) {
            auto request = makeObject<SODaSRequest>(SODaSRequest::read, SODaSRequest::kSyncDevice,
                                                    node->tag.get());
            node->tag->handleRequest(*request);
            deviceReads.emplace_back(i, std::move(request));
            continue;
        }
        results[i] = readAttribute(*node, r.attributeId, timestamps);
    }

    // The engine completes device reads after storing the values in the caches.
    auto deadline = deadlineOf(core, call.header);
    for (auto& [index, request] : deviceReads) {
        if (!awaitCompletion(core, *request, deadline)) {
            results[index] = statusOnly(Status::kBadTimeout);
            continue;
        }
        if (!succeeded(request->getResult())) {
            results[index] = statusOnly(statusOfReadFailure(request->getResult()));
            continue;
        }
        const Node* node = core.space.find(nodes[index].nodeId);
        results[index] = tagDataValue(node->tag->getCache()->snapshot(), timestamps);
    }

    for (size_t i = 0; i < count; ++i)
        if (!nodes[i].indexRange.empty() && !Status::isBad(results[i].status))
            applyIndexRange(nodes[i].indexRange, results[i]);

    Encoder out;
    encodeResponseHeader(out, call.header.requestHandle, Status::kGood);
    out.arrayLength(count);
    for (const DataValue& dv : results)
        out.dataValue(dv);
    out.arrayLength(0);
    return {TypeId::kReadResponse, std::move(out.bytes())};
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
    std::vector<std::pair<size_t, SOCmnPointer<SODaSRequest>>> writes;
    for (size_t i = 0; i < count; ++i) {
        const WriteValue& w = nodes[i];
        const Node* node = core.space.find(w.nodeId);
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
        if (call.readOnlyUser) {
            results[i] = Status::kBadUserAccessDenied;
            continue;
        }
        if (!w.indexRange.empty()) {
            results[i] = Status::kBadIndexRangeInvalid;
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
        auto request = makeObject<SODaSRequest>(SODaSRequest::write, SODaSRequest::kSyncDevice,
                                                node->tag.get(), std::move(value));
        node->tag->handleRequest(*request);
        writes.emplace_back(i, std::move(request));
    }

    // The engine completes writes with the transfer's result and quality.
    auto deadline = deadlineOf(core, call.header);
    for (auto& [index, request] : writes) {
        WriteResult outcome;
        if (!awaitCompletion(core, *request, deadline)) {
            outcome.result = E_TIMEDOUT;
        } else {
            outcome.result = request->getResult();
            outcome.hasQuality = request->getQuality(outcome.quality);
        }
        results[index] = statusOfWrite(outcome);
    }

    Encoder out;
    encodeResponseHeader(out, call.header.requestHandle, Status::kGood);
    out.arrayLength(count);
    for (StatusCode s : results)
        out.statusCode(s);
    out.arrayLength(0);
    return {TypeId::kWriteResponse, std::move(out.bytes())};
}

} // namespace vorn::ua
