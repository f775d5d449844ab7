// CreateMonitoredItems, ModifyMonitoredItems, SetMonitoringMode and DeleteMonitoredItems. A
// monitored item of a tag's value is a toolkit item of the subscription's group, active
// unless its mode is Disabled, so the engine polls the tag at the group's rate; items of
// other attributes and nodes are sampled at the publishing interval.
#include "Services.h"
#include "toolkit/ua/AttributeReader.h"
#include "toolkit/ua/UaIds.h"
#include "toolkit/ua/UaLimits.h"

namespace vorn::ua {
namespace {

constexpr uint32_t kDataChangeFilter = 724;
constexpr uint32_t kDeadbandNone = 0;
constexpr uint32_t kRevisedQueueSize = 1;

struct Parameters {
    uint32_t clientHandle = 0;
    ExtensionObject filter;
};

Parameters decodeParameters(Decoder& in) {
    Parameters p;
    p.clientHandle = in.u32();
    in.f64(); // sampling interval: tags are sampled at the publishing interval
    p.filter = in.extensionObject();
    in.u32(); // queue size: the latest value is reported
    in.boolean();
    return p;
}

// Data change filters without a deadband are what this server does anyway.
bool filterSupported(const ExtensionObject& filter) {
    if (filter.typeId.isNull())
        return true;
    if (filter.typeId != NodeId(0, kDataChangeFilter) || filter.encoding != 1)
        return false;
    Decoder body(filter.body);
    body.u32(); // trigger
    uint32_t deadbandType = body.u32();
    return body.ok() && deadbandType == kDeadbandNone;
}

Subscription* findSubscription(Session& session, uint32_t id) {
    auto it = session.subscriptions.find(id);
    return it == session.subscriptions.end() ? nullptr : &it->second;
}

void encodeItemParameters(Encoder& out, const Subscription& sub) {
    out.f64(sub.publishingInterval);
    out.u32(kRevisedQueueSize);
    out.extensionObject({});
}

void applyMode(Session& session, MonitoredItem& item, uint32_t mode) {
    if (mode == MonitoringMode::kReporting && item.mode != MonitoringMode::kReporting) {
        item.reported = false; // the current value is reported again
        item.lastChangeCount = UINT64_MAX;
    }
    item.mode = mode;
    if (item.item)
        session.client->setActive(*item.item, mode != MonitoringMode::kDisabled);
}

} // namespace

ServiceResponse createMonitoredItems(ServiceContext& core, Session& session, ServiceCall& call) {
    struct CreateRequest {
        NodeId nodeId;
        uint32_t attributeId;
        std::string indexRange;
        uint32_t mode;
        Parameters parameters;
    };
    Decoder& in = call.in;
    uint32_t subscriptionId = in.u32();
    uint32_t timestamps = in.u32();
    uint32_t count = in.arrayLength(30);
    if (count > Limits::kMaxMonitoredItemsPerCall)
        return ServiceResponse::fault(call, Status::kBadTooManyOperations);
    std::vector<CreateRequest> requests(count);
    for (CreateRequest& r : requests) {
        r.nodeId = in.nodeId();
        r.attributeId = in.u32();
        r.indexRange = in.string();
        in.qualifiedName();
        r.mode = in.u32();
        r.parameters = decodeParameters(in);
    }
    if (!in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    Subscription* sub = findSubscription(session, subscriptionId);
    if (!sub)
        return ServiceResponse::fault(call, Status::kBadSubscriptionIdInvalid);
    if (count == 0)
        return ServiceResponse::fault(call, Status::kBadNothingToDo);
    if (timestamps > TimestampsToReturn::kNeither)
        return ServiceResponse::fault(call, Status::kBadTimestampsToReturnInvalid);

    size_t serverItems = core.sessions.monitoredItemCount();
    size_t sessionItems = 0;
    for (const auto& [id, subscription] : session.subscriptions)
        sessionItems += subscription.items.size();
    Encoder out;
    encodeResponseHeader(out, call.header.requestHandle, Status::kGood);
    out.arrayLength(count);
    for (const CreateRequest& r : requests) {
        NodePtr node = core.space.find(r.nodeId);
        StatusCode status = Status::kGood;
        if (!node)
            status = Status::kBadNodeIdUnknown;
        else if (StatusCode readable = readAttribute(*node, r.attributeId, timestamps).status;
                 readable == Status::kBadAttributeIdInvalid || readable == Status::kBadNotReadable)
            status = readable; // a write-only tag is not reported either
        else if (!r.indexRange.empty())
            status = Status::kBadIndexRangeInvalid;
        else if (r.mode > MonitoringMode::kReporting)
            status = Status::kBadMonitoringModeInvalid;
        else if (!filterSupported(r.parameters.filter))
            status = Status::kBadMonitoredItemFilterUnsupported;
        else if (sub->items.size() >= Limits::kMaxMonitoredItemsPerSubscription ||
                 sessionItems >= Limits::kMaxMonitoredItemsPerSession ||
                 serverItems >= Limits::kMaxMonitoredItems)
            status = Status::kBadTooManyMonitoredItems;
        if (status != Status::kGood) {
            out.statusCode(status);
            out.u32(0);
            out.f64(0);
            out.u32(0);
            out.extensionObject({});
            continue;
        }
        MonitoredItem item;
        item.id = ++sub->lastItemId;
        item.clientHandle = r.parameters.clientHandle;
        item.attributeId = r.attributeId;
        item.timestampsToReturn = timestamps;
        item.mode = MonitoringMode::kDisabled;
        if (node->tag && r.attributeId == AttributeId::kValue)
            item.item = session.client->addItem(*sub->group, node->id.text);
        if (!item.item) {
            item.node = node.get();
            item.heldNode = std::move(node);
        }
        auto& stored = sub->items.emplace(item.id, std::move(item)).first->second;
        ++serverItems;
        ++sessionItems;
        applyMode(session, stored, r.mode);
        out.statusCode(Status::kGood);
        out.u32(stored.id);
        encodeItemParameters(out, *sub);
    }
    out.arrayLength(0);
    core.sessions.wake();
    return {TypeId::kCreateMonitoredItemsResponse, std::move(out.bytes())};
}

ServiceResponse modifyMonitoredItems(ServiceContext&, Session& session, ServiceCall& call) {
    Decoder& in = call.in;
    uint32_t subscriptionId = in.u32();
    uint32_t timestamps = in.u32();
    uint32_t count = in.arrayLength(25);
    if (count > Limits::kMaxMonitoredItemsPerCall)
        return ServiceResponse::fault(call, Status::kBadTooManyOperations);
    std::vector<std::pair<uint32_t, Parameters>> requests(count);
    for (auto& [id, parameters] : requests) {
        id = in.u32();
        parameters = decodeParameters(in);
    }
    if (!in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    Subscription* sub = findSubscription(session, subscriptionId);
    if (!sub)
        return ServiceResponse::fault(call, Status::kBadSubscriptionIdInvalid);
    if (count == 0)
        return ServiceResponse::fault(call, Status::kBadNothingToDo);
    if (timestamps > TimestampsToReturn::kNeither)
        return ServiceResponse::fault(call, Status::kBadTimestampsToReturnInvalid);
    Encoder out;
    encodeResponseHeader(out, call.header.requestHandle, Status::kGood);
    out.arrayLength(count);
    for (const auto& [id, parameters] : requests) {
        auto it = sub->items.find(id);
        StatusCode status = it == sub->items.end() ? Status::kBadMonitoredItemIdInvalid
                            : !filterSupported(parameters.filter)
                                ? Status::kBadMonitoredItemFilterUnsupported
                                : Status::kGood;
        out.statusCode(status);
        if (status == Status::kGood) {
            it->second.clientHandle = parameters.clientHandle;
            it->second.timestampsToReturn = timestamps;
        }
        encodeItemParameters(out, *sub);
    }
    out.arrayLength(0);
    return {TypeId::kModifyMonitoredItemsResponse, std::move(out.bytes())};
}

ServiceResponse setMonitoringMode(ServiceContext& core, Session& session, ServiceCall& call) {
    Decoder& in = call.in;
    uint32_t subscriptionId = in.u32();
    uint32_t mode = in.u32();
    const std::vector<uint32_t> ids = in.u32Array();
    if (!in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    if (ids.size() > Limits::kMaxMonitoredItemsPerCall)
        return ServiceResponse::fault(call, Status::kBadTooManyOperations);
    Subscription* sub = findSubscription(session, subscriptionId);
    if (!sub)
        return ServiceResponse::fault(call, Status::kBadSubscriptionIdInvalid);
    if (ids.empty())
        return ServiceResponse::fault(call, Status::kBadNothingToDo);
    if (mode > MonitoringMode::kReporting)
        return ServiceResponse::fault(call, Status::kBadMonitoringModeInvalid);
    ServiceResponse response = perIdentifierResponse(
        call, TypeId::kSetMonitoringModeResponse, ids, [&](uint32_t id) -> StatusCode {
            auto it = sub->items.find(id);
            if (it == sub->items.end())
                return Status::kBadMonitoredItemIdInvalid;
            applyMode(session, it->second, mode);
            return Status::kGood;
        });
    core.sessions.wake();
    return response;
}

ServiceResponse deleteMonitoredItems(ServiceContext&, Session& session, ServiceCall& call) {
    Decoder& in = call.in;
    uint32_t subscriptionId = in.u32();
    const std::vector<uint32_t> ids = in.u32Array();
    if (!in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    if (ids.size() > Limits::kMaxMonitoredItemsPerCall)
        return ServiceResponse::fault(call, Status::kBadTooManyOperations);
    Subscription* sub = findSubscription(session, subscriptionId);
    if (!sub)
        return ServiceResponse::fault(call, Status::kBadSubscriptionIdInvalid);
    if (ids.empty())
        return ServiceResponse::fault(call, Status::kBadNothingToDo);
    return perIdentifierResponse(call, TypeId::kDeleteMonitoredItemsResponse, ids,
                                 [&](uint32_t id) -> StatusCode {
                                     auto it = sub->items.find(id);
                                     if (it == sub->items.end())
                                         return Status::kBadMonitoredItemIdInvalid;
                                     if (it->second.item)
                                         session.client->removeItem(*sub->group, *it->second.item);
                                     sub->items.erase(it);
                                     return Status::kGood;
                                 });
}

} // namespace vorn::ua
