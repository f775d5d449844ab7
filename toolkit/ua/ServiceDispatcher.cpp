#include "ServiceDispatcher.h"

#include "toolkit/ua/Services.h"
#include "toolkit/ua/UaIds.h"

namespace vorn::ua {

void ServiceDispatcher::dispatch(uint64_t connectionId, const ServiceRequest& request) {
    Decoder in(request.body);
    ServiceCall call{connectionId, request.requestId, decodeRequestHeader(in), in};
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

ServiceResponse ServiceDispatcher::run(ServiceCall& call, uint32_t typeId) {
    using namespace TypeId;
    switch (typeId) {
    case kGetEndpointsRequest:
        return getEndpoints(core_, call);
    case kFindServersRequest:
        return findServers(core_, call);
    case kCreateSessionRequest:
        return createSession(core_, call);
    case kActivateSessionRequest:
        return activateSession(core_, call);
    case kCloseSessionRequest:
        return closeSession(core_, call);
    case kReadRequest:
    case kWriteRequest: {
        {
            std::lock_guard lock(core_.sessions.mutex());
            StatusCode status = Status::kGood;
            if (!checkedSession(call, status))
                return ServiceResponse::fault(call, status);
        }
        // Without the lock: these wait for the engine.
        return typeId == kReadRequest ? read(core_, call) : write(core_, call);
    }
    default:
        break;
    }

    using Handler = ServiceResponse (*)(ServerCore&, Session&, ServiceCall&);
    Handler handler = nullptr;
    switch (typeId) {
    case kBrowseRequest:
        handler = browse;
        break;
    case kBrowseNextRequest:
        handler = browseNext;
        break;
    case kTranslateRequest:
        handler = [](ServerCore& c, Session&, ServiceCall& s) {
            return translateBrowsePaths(c, s);
        };
        break;
    case kRegisterNodesRequest:
        handler = [](ServerCore&, Session&, ServiceCall& s) { return registerNodes(s); };
        break;
    case kUnregisterNodesRequest:
        handler = [](ServerCore&, Session&, ServiceCall& s) { return unregisterNodes(s); };
        break;
    case kCreateSubscriptionRequest:
        handler = createSubscription;
        break;
    case kModifySubscriptionRequest:
        handler = modifySubscription;
        break;
    case kSetPublishingModeRequest:
        handler = setPublishingMode;
        break;
    case kDeleteSubscriptionsRequest:
        handler = deleteSubscriptions;
        break;
    case kPublishRequest:
        handler = publish;
        break;
    case kRepublishRequest:
        handler = republish;
        break;
    case kCreateMonitoredItemsRequest:
        handler = createMonitoredItems;
        break;
    case kModifyMonitoredItemsRequest:
        handler = modifyMonitoredItems;
        break;
    case kSetMonitoringModeRequest:
        handler = setMonitoringMode;
        break;
    case kDeleteMonitoredItemsRequest:
        handler = deleteMonitoredItems;
        break;
    default:
        return ServiceResponse::fault(call, Status::kBadServiceUnsupported);
    }
    std::lock_guard lock(core_.sessions.mutex());
    StatusCode status = Status::kGood;
    Session* session = checkedSession(call, status);
    if (!session)
        return ServiceResponse::fault(call, status);
    return handler(core_, *session, call);
}

} // namespace vorn::ua
