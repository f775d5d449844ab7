// The service handlers, one file per service set. Each decodes its request from the call,
// does the work and returns the encoded response. Handlers of session services run with the
// session manager's lock held by the dispatcher unless they say otherwise.
#pragma once

#include "toolkit/ua/ServiceCall.h"
#include "toolkit/ua/ServiceContext.h"

namespace vorn::ua {

// Discovery (no session).
ServiceResponse getEndpoints(ServiceContext& core, ServiceCall& call);
ServiceResponse findServers(ServiceContext& core, ServiceCall& call);
// Endpoint descriptions as CreateSession and GetEndpoints give them.
void encodeEndpoints(ServiceContext& core, Encoder& out, const std::string& endpointUrl);
void encodeApplicationDescription(ServiceContext& core, Encoder& out,
                                  const std::string& endpointUrl);

// Session (they take the session manager's lock themselves).
ServiceResponse createSession(ServiceContext& core, ServiceCall& call);
ServiceResponse activateSession(ServiceContext& core, ServiceCall& call);
ServiceResponse closeSession(ServiceContext& core, ServiceCall& call);

// View (under the lock).
ServiceResponse browse(ServiceContext& core, Session& session, ServiceCall& call);
ServiceResponse browseNext(ServiceContext& core, Session& session, ServiceCall& call);
ServiceResponse translateBrowsePaths(ServiceContext& core, ServiceCall& call);
ServiceResponse registerNodes(ServiceCall& call);
ServiceResponse unregisterNodes(ServiceCall& call);

// Attribute (without the lock: device reads and writes are handed to the engine and parked).
ServiceResponse read(ServiceContext& core, ServiceCall& call);
ServiceResponse write(ServiceContext& core, ServiceCall& call);

// Subscription and monitored items (under the lock).
ServiceResponse createSubscription(ServiceContext& core, Session& session, ServiceCall& call);
ServiceResponse modifySubscription(ServiceContext& core, Session& session, ServiceCall& call);
ServiceResponse setPublishingMode(ServiceContext& core, Session& session, ServiceCall& call);
ServiceResponse deleteSubscriptions(ServiceContext& core, Session& session, ServiceCall& call);
ServiceResponse publish(ServiceContext& core, Session& session, ServiceCall& call);
ServiceResponse republish(ServiceContext& core, Session& session, ServiceCall& call);
ServiceResponse transferSubscriptions(ServiceContext& core, Session& session, ServiceCall& call);
ServiceResponse createMonitoredItems(ServiceContext& core, Session& session, ServiceCall& call);
ServiceResponse modifyMonitoredItems(ServiceContext& core, Session& session, ServiceCall& call);
ServiceResponse setMonitoringMode(ServiceContext& core, Session& session, ServiceCall& call);
ServiceResponse deleteMonitoredItems(ServiceContext& core, Session& session, ServiceCall& call);

} // namespace vorn::ua
