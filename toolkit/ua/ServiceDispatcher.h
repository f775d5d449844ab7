// Routes each request taken off a channel to its service handler: the session services and
// discovery without a session, everything else only for an activated session on the channel
// that carries it; anything unknown answers BadServiceUnsupported.
#pragma once

#include "toolkit/ua/SecureChannel.h"
#include "toolkit/ua/ServiceContext.h"

namespace vorn::ua {

class ServiceDispatcher {
public:
    ServiceDispatcher(ServiceContext& core, ResponseSink& sink) : core_(core), sink_(sink) {}

    // Runs the service and sends its response, unless the response comes later (Publish, and
    // reads and writes parked until their devices answer).
    void dispatch(uint64_t connectionId, const ServiceRequest& request);

private:
    ServiceResponse run(ServiceCall& call, uint32_t typeId);
    // The caller's session, checked; null with `status` set otherwise. Under the lock.
    Session* checkedSession(const ServiceCall& call, StatusCode& status);

    ServiceContext& core_;
    ResponseSink& sink_;
};

} // namespace vorn::ua
