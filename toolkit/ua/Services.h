// The service handlers, one file per service set. Each decodes its request from the call,
// does the work and returns the encoded response. Handlers of session services run with the
// session manager's lock held by the dispatcher unless they say otherwise.
#pragma once

#include "toolkit/ua/ServerCore.h"
#include "toolkit/ua/ServiceCall.h"

namespace vorn::ua {

// Discovery (no session).
ServiceResponse getEndpoints(ServerCore& core, ServiceCall& call);
ServiceResponse findServers(ServerCore& core, ServiceCall& call);
// Endpoint descriptions as CreateSession and GetEndpoints give them.
void encodeEndpoints(ServerCore& core, Encoder& out, const std::string& endpointUrl);
void encodeApplicationDescription(ServerCore& core, Encoder& out, const std::string& endpointUrl);

// Session (they take the session manager's lock themselves).
ServiceResponse createSession(ServerCore& core, ServiceCall& call);
ServiceResponse activateSession(ServerCore& core, ServiceCall& call);
ServiceResponse closeSession(ServerCore& core, ServiceCall& call);

// View (under the lock).
ServiceResponse browse(ServerCore& core, Session& session, ServiceCall& call);
ServiceResponse browseNext(ServerCore& core, Session& session, ServiceCall& call);
ServiceResponse translateBrowsePaths(ServerCore& core, ServiceCall& call);
ServiceResponse registerNodes(ServiceCall& call);
ServiceResponse unregisterNodes(ServiceCall& call);

// Attribute (without the lock: device reads and writes wait for the engine).
ServiceResponse read(ServerCore& core, ServiceCall& call);
ServiceResponse write(ServerCore& core, ServiceCall& call);

// Subscription and monitored items (under the lock).
ServiceResponse createSubscription(ServerCore& core, Session& session, ServiceCall& call);
ServiceResponse modifySubscription(ServerCore& core, Session& session, ServiceCall& call);
ServiceResponse setPublishingMode(ServerCore& core, Session& session, ServiceCall& call);
ServiceResponse deleteSubscriptions(ServerCore& core, Session& session, ServiceCall& call);
ServiceResponse publish(ServerCore& core, Session& session, ServiceCall& call);
ServiceResponse republish(ServerCore& core, Session& session, ServiceCall& call);
ServiceResponse createMonitoredItems(ServerCore& core, Session& session, ServiceCall& call);
ServiceResponse modifyMonitoredItems(ServerCore& core, Session& session, ServiceCall& call);
ServiceResponse setMonitoringMode(ServerCore& core, Session& session, ServiceCall& call);
ServiceResponse deleteMonitoredItems(ServerCore& core, Session& session, ServiceCall& call);

} // namespace vorn::ua
