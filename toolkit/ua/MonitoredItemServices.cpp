// CreateMonitoredItems, ModifyMonitoredItems, SetMonitoringMode and DeleteMonitoredItems. A
// monitored item of a tag's value is a toolkit item of the subscription's group, or of the
// subscription's group of its own sampling rate when the client asks for one faster than the
// publishing interval, active unless its mode is Disabled, so the engine polls the tag at that
// rate; items of other attributes and nodes are sampled at the same rates from the nodes.
#include "Services.h"
#include "toolkit/ua/AttributeReader.h"
#include "toolkit/ua/UaIds.h"
#include "toolkit/ua/UaLimits.h"

#include <algorithm>
#include <cmath>

namespace vorn::ua {
namespace {

struct Parameters {
    uint32_t clientHandle = 0;
    double samplingInterval = -1;
    ExtensionObject filter;
    uint32_t queueSize = 1;
    bool discardOldest = true;
};

Parameters decodeParameters(Decoder& in) {
    Parameters p;
    p.clientHandle = in.u32();
    p.samplingInterval = in.f64();
    p.filter = in.extensionObject();
    p.queueSize = in.u32();
    p.discardOldest = in.boolean();
    return p;
}

// The sampling rate granted: an interval faster than the publishing interval is honoured down
// to the fastest the server grants; 0, negatives (the publishing interval, by the protocol),
// NaN and anything slower sample at the publishing interval, as the subscription's group
// polls.
uint32_t samplingRateOf(double requested, const Subscription& sub) {
    if (!(requested > 0) || requested >= sub.publishingInterval)
        return 0;
    auto rate =
        static_cast<uint32_t>(std::lround(std::max(requested, Limits::kMinSamplingIntervalMs)));
    return rate < sub.publishingInterval ? rate : 0;
}

Subscription* findSubscription(Session& session, uint32_t id) {
    auto it = session.subscriptions.find(id);
    return it == session.subscriptions.end() ? nullptr : &it->second;
}

void encodeItemParameters(Encoder& out, const Subscription& sub, const MonitoredItem& item) {
    out.f64(item.samplingRateMs ? item.samplingRateMs : sub.publishingInterval);
    out.u32(item.queueSize);
    out.extensionObject({}); // no filter result for data change filters
}

void applyMode(ServiceContext& core, Session& session, MonitoredItem& item, uint32_t mode) {
    if (mode == MonitoringMode::kReporting && item.mode != MonitoringMode::kReporting)
        item.reportAgain(); // the current value is reported again
    if (mode == MonitoringMode::kDisabled)
        item.clearQueue(session.queueBudget, core.sessions.queueBudget());
    item.mode = mode;
    if (item.item)
        session.client->setActive(*item.item, mode != MonitoringMode::kDisabled);
}

// The toolkit group that polls an item's tag at its rate, made when the rate is new.
SODaSGroup& groupOf(Session& session, Subscription& sub, uint32_t rateMs) {
    if (rateMs == 0)
        return *sub.group;
    auto [it, added] = sub.samplingRates.try_emplace(rateMs);
    if (added) {
        it->second.group = session.client->addGroup("Subscription " + std::to_string(sub.id) +
                                                        " at " + std::to_string(rateMs) + " ms",
                                                    rateMs);
        it->second.next = Subscription::Clock::now() + std::chrono::milliseconds(rateMs);
    }
    return *it->second.group;
}

// An item leaves its rate; the rate's group goes with its last item.
void leaveRate(Session& session, Subscription& sub, MonitoredItem& item) {
    if (item.item)
        session.client->removeItem(
            item.samplingRateMs ? *sub.samplingRates.at(item.samplingRateMs).group : *sub.group,
            *item.item);
    if (item.samplingRateMs == 0)
        return;
    auto it = sub.samplingRates.find(item.samplingRateMs);
    if (--it->second.items == 0) {
        session.client->removeGroup(*it->second.group);
        sub.samplingRates.erase(it);
    }
}

// Puts an item (new, or just out of its old rate) at `rateMs`: its tag's toolkit item joins the
// rate's group. False when the tag is gone.
bool joinRate(Session& session, Subscription& sub, MonitoredItem& item, uint32_t rateMs,
              const std::string& itemId) {
    item.samplingRateMs = rateMs;
    SODaSGroup& group = groupOf(session, sub, rateMs);
    if (rateMs)
        ++sub.samplingRates.at(rateMs).items;
    if (itemId.empty())
        return true;
    item.item = session.client->addItem(group, itemId);
    if (item.item)
        session.client->setActive(*item.item, item.mode != MonitoringMode::kDisabled);
    return static_cast<bool>(item.item);
}

void setQueue(ServiceContext& core, Session& session, MonitoredItem& item, const Parameters& p) {
    item.queueSize = std::clamp<uint32_t>(p.queueSize, 1, Limits::kMaxQueueSize);
    item.discardOldest = p.discardOldest;
    // A smaller queue keeps its newest values.
    while (item.queue.size() > item.queueSize) {
        QueueBudget& server = core.sessions.queueBudget();
        session.queueBudget.used -= item.queue.front().bytes();
        server.used -= item.queue.front().bytes();
        item.queue.pop_front();
    }
}

// The node an item samples: looked up again for a tag's value (its node is not kept), null
// when the tag has left the address space.
NodePtr nodeOf(ServiceContext& core, const MonitoredItem& item) {
    if (item.heldNode)
        return item.heldNode;
    auto tag = item.item ? item.item->getItemTag() : nullptr;
    return tag ? core.space.find(NodeId::ofString(kTagNamespace, tag->getItemID())) : nullptr;
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
        DataChangeFilter filter;
        if (status == Status::kGood)
            status = parseDataChangeFilter(r.parameters.filter, *node, r.attributeId, filter);
        if (status == Status::kGood &&
            (sub->items.size() >= Limits::kMaxMonitoredItemsPerSubscription ||
             sessionItems >= Limits::kMaxMonitoredItemsPerSession ||
             serverItems >= Limits::kMaxMonitoredItems))
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
        item.filter = filter;
        setQueue(core, session, item, r.parameters);
        bool isTag = node->tag && r.attributeId == AttributeId::kValue;
        bool joined =
            joinRate(session, *sub, item, samplingRateOf(r.parameters.samplingInterval, *sub),
                     isTag ? node->id.text : std::string());
        if (!isTag || !joined) { // sampled from the node
            item.node = node.get();
            item.heldNode = std::move(node);
        }
        auto& stored = sub->items.emplace(item.id, std::move(item)).first->second;
        ++serverItems;
        ++sessionItems;
        applyMode(core, session, stored, r.mode);
        out.statusCode(Status::kGood);
        out.u32(stored.id);
        encodeItemParameters(out, *sub, stored);
    }
    out.arrayLength(0);
    core.sessions.wake();
    return {TypeId::kCreateMonitoredItemsResponse, std::move(out.bytes())};
}

ServiceResponse modifyMonitoredItems(ServiceContext& core, Session& session, ServiceCall& call) {
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
        StatusCode status = Status::kBadMonitoredItemIdInvalid;
        DataChangeFilter filter;
        if (it != sub->items.end()) {
            NodePtr node = nodeOf(core, it->second);
            status = node ? parseDataChangeFilter(parameters.filter, *node, it->second.attributeId,
                                                  filter)
                          : Status::kBadNodeIdUnknown;
        }
        out.statusCode(status);
        if (status != Status::kGood) {
            out.f64(0);
            out.u32(0);
            out.extensionObject({});
            continue;
        }
        MonitoredItem& item = it->second;
        item.clientHandle = parameters.clientHandle;
        item.timestampsToReturn = timestamps;
        item.filter = filter;
        setQueue(core, session, item, parameters);
        uint32_t rate = samplingRateOf(parameters.samplingInterval, *sub);
        if (rate != item.samplingRateMs) {
            auto tag = item.item ? item.item->getItemTag() : nullptr;
            std::string itemId = tag ? tag->getItemID() : std::string();
            leaveRate(session, *sub, item);
            item.item = nullptr;
            joinRate(session, *sub, item, rate, itemId);
        }
        encodeItemParameters(out, *sub, item);
    }
    core.sessions.wake();
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
            applyMode(core, session, it->second, mode);
            return Status::kGood;
        });
    core.sessions.wake();
    return response;
}

ServiceResponse deleteMonitoredItems(ServiceContext& core, Session& session, ServiceCall& call) {
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
    return perIdentifierResponse(
        call, TypeId::kDeleteMonitoredItemsResponse, ids, [&](uint32_t id) -> StatusCode {
            auto it = sub->items.find(id);
            if (it == sub->items.end())
                return Status::kBadMonitoredItemIdInvalid;
            it->second.clearQueue(session.queueBudget, core.sessions.queueBudget());
            leaveRate(session, *sub, it->second);
            sub->items.erase(it);
            return Status::kGood;
        });
}

} // namespace vorn::ua
