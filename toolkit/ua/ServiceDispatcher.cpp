#include "ServiceDispatcher.h"

#include "toolkit/ua/Services.h"
#include "toolkit/ua/UaIds.h"

namespace vorn::ua {

void ServiceDispatcher::dispatch(uint64_t connectionId, const ServiceRequest& request) {
    Decoder in(request.body);
    ServiceCall call{connectionId, request.requestId,      decodeRequestHeader(in),
                     in,           request.security.get(), request.client,
                     nullptr};
    ServiceResponse response = in.ok() ? run(call, request.typeId)
                                       : ServiceResponse::fault(call, Status::kBadDecodingError);
    if (!response.deferred)
        sink_.sendResponse(connectionId, request.requestId, response.typeId,
                           std::move(response.body));
}

Session* ServiceDispatcher::checkedSession(const ServiceCall& call, StatusCode& status) {
    Session* session = core_.sessions.find(call.header.authenticationToken);
    if (!session) {
        status = Status::kBadSessionIdInvalid;
        return nullptr;
    }
    if (session->connectionId != call.connectionId) {
        status = Status::kBadSecureChannelIdInvalid;
        return nullptr;
    }
    if (!session->activated) {
        status = Status::kBadSessionNotActivated;
        return nullptr;
    }
    session->lastSeen = Session::Clock::now();
    return session;
}

namespace {

// One row per service: its request type, its handler, whether it needs an activated session on
// the calling channel, and whether the handler runs under the session manager's lock (services
// that hand requests to the engine run without it).
struct ServiceEntry {
    using Handler = ServiceResponse (*)(ServiceContext&, Session*, ServiceCall&);
    uint32_t requestType;
    Handler handler;
    bool needsSession;
    bool underLock;
};

using namespace TypeId;
using C = ServiceContext;
using S = Session*;
using Call = ServiceCall;

constexpr ServiceEntry kServices[] = {
    {kGetEndpointsRequest, [](C& c, S, Call& r) { return getEndpoints(c, r); }, false, false},
    {kFindServersRequest, [](C& c, S, Call& r) { return findServers(c, r); }, false, false},
    {kCreateSessionRequest, [](C& c, S, Call& r) { return createSession(c, r); }, false, false},
    {kActivateSessionRequest, [](C& c, S, Call& r) { return activateSession(c, r); }, false, false},
    {kCloseSessionRequest, [](C& c, S, Call& r) { return closeSession(c, r); }, false, false},
    {kReadRequest, [](C& c, S, Call& r) { return read(c, r); }, true, false},
    {kWriteRequest, [](C& c, S, Call& r) { return write(c, r); }, true, false},
    {kBrowseRequest, [](C& c, S s, Call& r) { return browse(c, *s, r); }, true, true},
    {kBrowseNextRequest, [](C& c, S s, Call& r) { return browseNext(c, *s, r); }, true, true},
    {kTranslateRequest, [](C& c, S, Call& r) { return translateBrowsePaths(c, r); }, true, true},
    {kRegisterNodesRequest, [](C&, S, Call& r) { return registerNodes(r); }, true, true},
    {kUnregisterNodesRequest, [](C&, S, Call& r) { return unregisterNodes(r); }, true, true},
    {kCreateSubscriptionRequest, [](C& c, S s, Call& r) { return createSubscription(c, *s, r); },
     true, true},
    {kModifySubscriptionRequest, [](C& c, S s, Call& r) { return modifySubscription(c, *s, r); },
     true, true},
    {kSetPublishingModeRequest, [](C& c, S s, Call& r) { return setPublishingMode(c, *s, r); },
     true, true},
    {kDeleteSubscriptionsRequest, [](C& c, S s, Call& r) { return deleteSubscriptions(c, *s, r); },
     true, true},
    {kPublishRequest, [](C& c, S s, Call& r) { return publish(c, *s, r); }, true, true},
    {kRepublishRequest, [](C& c, S s, Call& r) { return republish(c, *s, r); }, true, true},
    {kTransferSubscriptionsRequest,
     [](C& c, S s, Call& r) { return transferSubscriptions(c, *s, r); }, true, true},
    {kCreateMonitoredItemsRequest,
     [](C& c, S s, Call& r) { return createMonitoredItems(c, *s, r); }, true, true},
    {kModifyMonitoredItemsRequest,
     [](C& c, S s, Call& r) { return modifyMonitoredItems(c, *s, r); }, true, true},
    {kSetMonitoringModeRequest, [](C& c, S s, Call& r) { return setMonitoringMode(c, *s, r); },
     true, true},
    {kDeleteMonitoredItemsRequest,
     [](C& c, S s, Call& r) { return deleteMonitoredItems(c, *s, r); }, true, true},
};

const ServiceEntry* findService(uint32_t requestType) {
    for (const ServiceEntry& entry : kServices)
        if (entry.requestType == requestType)
            return &entry;
    return nullptr;
}

} // namespace

ServiceResponse ServiceDispatcher::run(ServiceCall& call, uint32_t typeId) {
    const ServiceEntry* service = findService(typeId);
    if (!service)
        return ServiceResponse::fault(call, Status::kBadServiceUnsupported);
    if (!service->needsSession)
        return service->handler(core_, nullptr, call);

    std::unique_lock lock(core_.sessions.mutex());
    StatusCode status = Status::kGood;
    Session* session = checkedSession(call, status);
    if (!session)
        return ServiceResponse::fault(call, status);
    call.user = session->user;
    if (service->underLock)
        return service->handler(core_, session, call);
    // The session is not touched past the lock: such services find it again when they need it.
    lock.unlock();
    return service->handler(core_, nullptr, call);
}

} // namespace vorn::ua
