// What the service sets share: the toolkit entry, the settings, the Server object's status,
// the address space, the sessions and the calls waiting for devices.
#pragma once

#include "toolkit/SODaSEntry.h"
#include "toolkit/ua/AddressSpace.h"
#include "toolkit/ua/AdmissionChecks.h"
#include "toolkit/ua/ParkedCalls.h"
#include "toolkit/ua/ServerInfo.h"
#include "toolkit/ua/SessionManager.h"
#include "toolkit/ua/security/ServerSecurity.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace vorn::ua {

struct CoreSettings {
    std::string productUri;
    std::string applicationUri;
    std::string productName;
    // Longest wait for the engine to complete a device read or a write.
    uint32_t requestTimeoutMs = 10000;
};

inline std::vector<std::string> namespaceUrisOf(const std::vector<ExtraNodes>& extraNodes) {
    std::vector<std::string> uris;
    for (const ExtraNodes& extra : extraNodes)
        uris.push_back(extra.namespaceUri);
    return uris;
}

struct ServiceContext {
    ServiceContext(SODaSEntry& e, CoreSettings s, ResponseSink& sink, BuildInfoText build,
                   std::string namespaceUri, const std::vector<ExtraNodes>& extraNodes = {})
        : entry(e), settings(std::move(s)), sink(sink),
          info(std::move(build), settings.applicationUri, std::move(namespaceUri),
               namespaceUrisOf(extraNodes)),
          space(e, info, extraNodes), sessions(e, sink) {}

    SODaSEntry& entry;
    const CoreSettings settings;
    // Where answers that come later (parked calls) go.
    ResponseSink& sink;
    ServerInfo info;
    const AddressSpace space;
    SessionManager sessions;
    // The endpoints and the PKI; set before the first request.
    const security::ServerSecurity* security = &security::ServerSecurity::noneOnly();
    // Reads and writes waiting for devices.
    ParkedCalls parked;
    // Set when the server stops: requests waiting for the engine give up at once.
    std::atomic<bool> stopping{false};
    // The costly checks of clients not yet admitted (passwords). Last: its threads use the rest,
    // so it is destroyed first.
    AdmissionChecks admission;
};

} // namespace vorn::ua
