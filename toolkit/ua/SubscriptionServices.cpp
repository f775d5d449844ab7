// CreateSubscription, ModifySubscription, SetPublishingMode, DeleteSubscriptions, Publish,
// Republish and TransferSubscriptions. A subscription is a toolkit group: its publishing interval
// is the group's update rate, and changing it goes through the group's update-rate hook.
#include "Services.h"
#include "toolkit/ua/UaIds.h"
#include "toolkit/ua/UaLimits.h"

#include <cmath>

namespace vorn::ua {
namespace {

uint32_t updateRateOf(const Subscription& sub) {
    return static_cast<uint32_t>(std::lround(sub.publishingInterval));
}

} // namespace

ServiceResponse createSubscription(ServiceContext& core, Session& session, ServiceCall& call) {
    Decoder& in = call.in;
    double interval = in.f64();
    uint32_t lifetime = in.u32();
    uint32_t keepAlive = in.u32();
    uint32_t maxNotifications = in.u32();
    bool enabled = in.boolean();
    in.u8(); // priority: one publishing queue per session, served in order
    if (!in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    if (session.subscriptions.size() >= Limits::kMaxSubscriptionsPerSession ||
        core.sessions.subscriptionCount() >= Limits::kMaxSubscriptions)
        return ServiceResponse::fault(call, Status::kBadTooManySubscriptions);

    Subscription sub;
    sub.id = core.sessions.nextSubscriptionId();
    sub.revise(interval, lifetime, keepAlive);
    sub.maxNotificationsPerPublish = maxNotifications;
    sub.publishingEnabled = enabled;
    sub.group =
        session.client->addGroup("Subscription " + std::to_string(sub.id), updateRateOf(sub));
    sub.nextCycle = Subscription::Clock::now() +
                    std::chrono::microseconds(static_cast<int64_t>(sub.publishingInterval * 1000));
    // The first cycle tells the client the subscription works, with a keep-alive if need be.
    sub.keepAliveCounter = sub.maxKeepAliveCount;
    Encoder out;
    encodeResponseHeader(out, call.header.requestHandle, Status::kGood);
    out.u32(sub.id);
    out.f64(sub.publishingInterval);
    out.u32(sub.lifetimeCount);
    out.u32(sub.maxKeepAliveCount);
    sub.userMayWrite = !session.user || session.user->mayWrite();
    session.subscriptions.emplace(sub.id, std::move(sub));
    core.sessions.wake();
    return {TypeId::kCreateSubscriptionResponse, std::move(out.bytes())};
}

ServiceResponse modifySubscription(ServiceContext& core, Session& session, ServiceCall& call) {
    Decoder& in = call.in;
    uint32_t id = in.u32();
    double interval = in.f64();
    uint32_t lifetime = in.u32();
    uint32_t keepAlive = in.u32();
    uint32_t maxNotifications = in.u32();
    in.u8();
    if (!in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    auto it = session.subscriptions.find(id);
    if (it == session.subscriptions.end())
        return ServiceResponse::fault(call, Status::kBadSubscriptionIdInvalid);
    Subscription& sub = it->second;
    sub.revise(interval, lifetime, keepAlive);
    sub.maxNotificationsPerPublish = maxNotifications;
    session.client->setUpdateRate(*sub.group, updateRateOf(sub));
    sub.nextCycle = std::min(sub.nextCycle, Subscription::Clock::now() +
                                                std::chrono::microseconds(static_cast<int64_t>(
                                                    sub.publishingInterval * 1000)));
    core.sessions.wake();
    Encoder out;
    encodeResponseHeader(out, call.header.requestHandle, Status::kGood);
    out.f64(sub.publishingInterval);
    out.u32(sub.lifetimeCount);
    out.u32(sub.maxKeepAliveCount);
    return {TypeId::kModifySubscriptionResponse, std::move(out.bytes())};
}

ServiceResponse setPublishingMode(ServiceContext&, Session& session, ServiceCall& call) {
    bool enabled = call.in.boolean();
    const std::vector<uint32_t> ids = call.in.u32Array();
    if (!call.in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    if (ids.empty())
        return ServiceResponse::fault(call, Status::kBadNothingToDo);
    return perIdentifierResponse(call, TypeId::kSetPublishingModeResponse, ids,
                                 [&](uint32_t id) -> StatusCode {
                                     auto it = session.subscriptions.find(id);
                                     if (it == session.subscriptions.end())
                                         return Status::kBadSubscriptionIdInvalid;
                                     it->second.publishingEnabled = enabled;
                                     return Status::kGood;
                                 });
}

ServiceResponse deleteSubscriptions(ServiceContext& core, Session& session, ServiceCall& call) {
    const std::vector<uint32_t> ids = call.in.u32Array();
    if (!call.in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    if (ids.empty())
        return ServiceResponse::fault(call, Status::kBadNothingToDo);
    return perIdentifierResponse(call, TypeId::kDeleteSubscriptionsResponse, ids,
                                 [&](uint32_t id) -> StatusCode {
                                     if (session.subscriptions.count(id) == 0)
                                         return Status::kBadSubscriptionIdInvalid;
                                     core.sessions.deleteSubscription(session, id);
                                     return Status::kGood;
                                 });
}

ServiceResponse publish(ServiceContext& core, Session& session, ServiceCall& call) {
    uint32_t count = call.in.arrayLength(8);
    PendingPublish pending;
    pending.acknowledgementResults.reserve(count);
    for (uint32_t i = 0; i < count && call.in.ok(); ++i) {
        uint32_t subscriptionId = call.in.u32();
        uint32_t sequenceNumber = call.in.u32();
        auto it = session.subscriptions.find(subscriptionId);
        if (it == session.subscriptions.end())
            pending.acknowledgementResults.push_back(Status::kBadSubscriptionIdInvalid);
        else
            pending.acknowledgementResults.push_back(it->second.acknowledge(sequenceNumber)
                                                         ? Status::kGood
                                                         : Status::kBadSequenceNumberUnknown);
    }
    if (!call.in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    pending.connectionId = call.connectionId;
    pending.requestId = call.requestId;
    pending.requestHandle = call.header.requestHandle;
    pending.timeoutHint = call.header.timeoutHint;
    pending.received = Session::Clock::now();
    if (core.sessions.tellTransferred(session, pending))
        return ServiceResponse::later();
    if (session.subscriptions.empty())
        return ServiceResponse::fault(call, Status::kBadNoSubscription);
    if (session.publishQueue.size() >= Limits::kMaxPublishRequestsPerSession) {
        core.sessions.answerPublish(session.publishQueue.front(),
                                    Status::kBadTooManyPublishRequests);
        session.publishQueue.pop_front();
    }
    for (auto& [id, sub] : session.subscriptions)
        sub.lifetimeCounter = 0; // the client is still there
    session.publishQueue.push_back(std::move(pending));
    core.sessions.wake();
    return ServiceResponse::later();
}

ServiceResponse transferSubscriptions(ServiceContext& core, Session& session, ServiceCall& call) {
    const std::vector<uint32_t> ids = call.in.u32Array();
    bool sendInitialValues = call.in.boolean();
    if (!call.in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    if (ids.empty())
        return ServiceResponse::fault(call, Status::kBadNothingToDo);
    if (ids.size() > Limits::kMaxSubscriptionsPerSession)
        return ServiceResponse::fault(call, Status::kBadTooManyOperations);
    Encoder out;
    encodeResponseHeader(out, call.header.requestHandle, Status::kGood);
    out.arrayLength(ids.size());
    for (uint32_t id : ids) {
        std::vector<uint32_t> available;
        StatusCode status = Status::kBadTooManySubscriptions;
        if (session.subscriptions.count(id) ||
            session.subscriptions.size() < Limits::kMaxSubscriptionsPerSession)
            status = core.sessions.transfer(session, id, sendInitialValues, available);
        out.statusCode(status);
        out.arrayLength(available.size());
        for (uint32_t n : available)
            out.u32(n);
    }
    out.arrayLength(0); // diagnostic infos
    core.sessions.wake();
    return {TypeId::kTransferSubscriptionsResponse, std::move(out.bytes())};
}

ServiceResponse republish(ServiceContext&, Session& session, ServiceCall& call) {
    uint32_t subscriptionId = call.in.u32();
    uint32_t sequenceNumber = call.in.u32();
    if (!call.in.ok())
        return ServiceResponse::fault(call, Status::kBadDecodingError);
    auto it = session.subscriptions.find(subscriptionId);
    if (it == session.subscriptions.end())
        return ServiceResponse::fault(call, Status::kBadSubscriptionIdInvalid);
    const std::string* message = it->second.findSent(sequenceNumber);
    if (!message)
        return ServiceResponse::fault(call, Status::kBadMessageNotAvailable);
    Encoder out;
    encodeResponseHeader(out, call.header.requestHandle, Status::kGood);
    out.raw(*message);
    return {TypeId::kRepublishResponse, std::move(out.bytes())};
}

} // namespace vorn::ua
