#include "UaServer.h"

#include "toolkit/ua/ServiceContext.h"
#include "toolkit/ua/ServiceDispatcher.h"
#include "toolkit/ua/ServiceThreads.h"
#include "toolkit/ua/UaNetwork.h"
#include "toolkit/ua/security/HexText.h"

#include <malloc.h>

namespace vorn::ua {
namespace {

// Service threads: enough that a few long requests leave others served; none waits for a
// device.
constexpr size_t kServiceThreadCount = 8;
// Buffers from this size up (large client messages and their copies) are mapped on their own
// and go back to the system once freed. Without a fixed threshold the allocator raises it
// after the first such buffer, and every thread's heap then keeps megabytes that clients made
// it take.
constexpr int kOwnMappingFromBytes = 256 * 1024;

BuildInfoText buildInfoOf(const SODaSEntry& entry, const UaServerSettings& settings) {
    const ServerStatusInfo& status = entry.getStatusInfo();
    BuildInfoText build;
    build.productUri = settings.productUri;
    build.manufacturerName = status.vendor;
    build.productName = settings.productName;
    build.softwareVersion = std::to_string(status.major) + "." + std::to_string(status.minor);
    build.buildNumber = std::to_string(status.build);
    return build;
}

} // namespace

// The network layer answers through the sink before the core exists; the core and the
// dispatcher are made in start().
struct UaServer::Parts {
    struct Sink : ResponseSink {
        UaNetwork* network = nullptr;
        void sendResponse(uint64_t connectionId, uint32_t requestId, uint32_t typeId,
                          std::string body) override {
            if (network)
                network->sendResponse(connectionId, requestId, typeId, std::move(body));
        }
    } sink;
    std::unique_ptr<security::ServerSecurity> security;
    std::unique_ptr<ServiceContext> core;
    std::unique_ptr<ServiceDispatcher> dispatcher;
    std::unique_ptr<ServiceThreads> threads;
    std::unique_ptr<UaNetwork> network;
    bool stopped = false;
};

UaServer::UaServer(SODaSEntry& entry, UaServerSettings settings)
    : entry_(entry), settings_(std::move(settings)), parts_(std::make_unique<Parts>()) {}

UaServer::~UaServer() {
    stop();
}

bool UaServer::start(std::string* error) {
    Parts& p = *parts_;
    if (p.network)
        return true;
    mallopt(M_MMAP_THRESHOLD, kOwnMappingFromBytes);
    std::unique_ptr<security::PkiStore> pki;
    bool secure = false;
    for (const security::EndpointSecurity& endpoint : settings_.endpoints)
        secure |= endpoint.policy != nullptr;
    if (secure) {
        std::string name =
            settings_.serverName.empty() ? settings_.productName : settings_.serverName;
        pki = std::make_unique<security::PkiStore>(
            settings_.pkiFolder.empty() ? security::PkiStore::defaultRoot(name)
                                        : std::filesystem::path(settings_.pkiFolder));
        std::string pkiError;
        if (!pki->loadOrCreateOwn(name, settings_.applicationUri, settings_.hostName, &pkiError)) {
            if (error)
                *error = "PKI folder: " + pkiError;
            return false;
        }
    }
    p.security = std::make_unique<security::ServerSecurity>(settings_.endpoints, std::move(pki),
                                                            settings_.users);
    CoreSettings core{settings_.productUri, settings_.applicationUri, settings_.productName,
                      settings_.requestTimeoutMs};
    p.core =
        std::make_unique<ServiceContext>(entry_, core, p.sink, buildInfoOf(entry_, settings_),
                                         settings_.applicationUri + ":tags", settings_.extraNodes);
    p.core->security = p.security.get();
    p.dispatcher = std::make_unique<ServiceDispatcher>(*p.core, p.sink);
    p.threads = std::make_unique<ServiceThreads>(kServiceThreadCount);
    p.network = std::make_unique<UaNetwork>(
        [this](uint64_t connectionId, ServiceRequest request) {
            Parts& parts = *parts_;
            parts.threads->post([&parts, connectionId, request = std::move(request)] {
                parts.dispatcher->dispatch(connectionId, request);
                parts.network->requestDone(connectionId, request.body.size());
            });
        },
        [this](uint64_t connectionId) { parts_->core->sessions.onConnectionClosed(connectionId); },
        p.security.get(), &p.core->admission);
    if (!p.network->listen(settings_.bindAddress, settings_.port, error)) {
        p.network.reset();
        return false;
    }
    p.sink.network = p.network.get();
    p.core->sessions.start();
    p.network->start();
    entry_.setShutdownListener(
        [this](const std::string& reason) { beginShutdown(reason, kShutdownCountdownSeconds); });
    return true;
}

uint16_t UaServer::port() const {
    return parts_->network ? parts_->network->port() : 0;
}

std::string UaServer::pkiFolder() const {
    const security::PkiStore* pki = parts_->security ? parts_->security->pki() : nullptr;
    return pki ? pki->root().string() : "";
}

std::string UaServer::certificateThumbprint() const {
    const security::PkiStore* pki = parts_->security ? parts_->security->pki() : nullptr;
    return pki ? security::toHex(pki->certificate().thumbprint(), security::HexDigits::upper) : "";
}

void UaServer::beginShutdown(const std::string& reason, uint32_t secondsTillShutdown) {
    if (!parts_->core)
        return;
    parts_->core->info.beginShutdown(reason, secondsTillShutdown);
    // Calls waiting for devices are answered now (BadShutdown), not when the engine stops, and
    // later ones at once: the clients still connected learn it while they are.
    parts_->core->parked.stop();
    parts_->core->sessions.beginShutdown();
}

size_t UaServer::sessionCount() const {
    return parts_->core ? parts_->core->sessions.count() : 0;
}

UaStatistics UaServer::statistics() const {
    return parts_->core ? parts_->core->sessions.statistics() : UaStatistics{};
}

void UaServer::stop() {
    Parts& p = *parts_;
    if (p.stopped || !p.network)
        return;
    p.stopped = true;
    entry_.setShutdownListener(nullptr);
    p.core->stopping.store(true);
    // The admission checks first (they answer through the network), then the calls waiting
    // for devices, answered while the network still sends, then the network (no new requests),
    // the service threads and the sessions.
    p.core->admission.stop();
    p.core->parked.stop();
    p.network->stop();
    p.threads->stop();
    p.core->sessions.stop();
    p.sink.network = nullptr;
}

} // namespace vorn::ua
