// The OPC UA server (binary protocol, opc.tcp, policy None and the secure policies) that
// shows a toolkit entry's DA model to clients: the name space as folders and variables,
// reads from device and cache, writes, subscriptions as groups and monitored items as items.
// Each session is one DA client of the entry, so the entry's object root counts sessions and
// closing the last one calls the entry's event handler.
#pragma once

#include "toolkit/SODaSEntry.h"
#include "toolkit/ua/AddressSpace.h"
#include "toolkit/ua/UaStatistics.h"
#include "toolkit/ua/security/ServerSecurity.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vorn::ua {

struct UaServerSettings {
    uint16_t port = 4840; // 0 picks a free port (tests)
    std::string bindAddress = "0.0.0.0";
    std::string productName;
    std::string productUri;
    std::string applicationUri;
    // Longest wait for the engine to complete a device read or a write; give it the devices'
    // timeout plus a margin.
    uint32_t requestTimeoutMs = 10000;
    std::vector<ExtraNodes> extraNodes;
    // The endpoints' policy and mode pairs. With any secure one, the PKI folder holds (or gets,
    // at first start) the certificate made out to applicationUri, serverName and hostName.
    std::vector<security::EndpointSecurity> endpoints = security::defaultEndpoints();
    std::string pkiFolder;
    std::string serverName;
    std::string hostName = "localhost";
    // User accounts and the anonymous users' rights; null: anonymous sessions that may write.
    std::shared_ptr<const security::UserDirectory> users;
};

// Ports of the servers' endpoints unless the registry value "OpcUaPort" says otherwise.
constexpr uint16_t kTarnvalePort = 4840;
constexpr uint16_t kRennickPort = 4841;
// What shutdownAllClients announces: the seconds the server waits for its clients.
constexpr uint32_t kShutdownCountdownSeconds = 10;

class UaServer {
public:
    UaServer(SODaSEntry& entry, UaServerSettings settings);
    ~UaServer();
    UaServer(const UaServer&) = delete;
    UaServer& operator=(const UaServer&) = delete;

    // Builds the address space from the entry's name space and listens; own threads. Also
    // registers with the entry so that shutdownAllClients(reason) reaches beginShutdown.
    bool start(std::string* error);
    uint16_t port() const;
    // Once started with secure endpoints: the PKI folder and the SHA-1 thumbprint of the
    // server's certificate (hex, upper case); empty with policy None only.
    std::string pkiFolder() const;
    std::string certificateThumbprint() const;
    // ServerStatus State becomes Shutdown with the countdown and the reason.
    void beginShutdown(const std::string& reason, uint32_t secondsTillShutdown);
    size_t sessionCount() const;
    // Sessions, subscriptions, monitored items and data changes sent (all 0 before start()).
    UaStatistics statistics() const;
    // Closes all sessions and connections and joins the threads; idempotent.
    void stop();

private:
    struct Parts;
    SODaSEntry& entry_;
    UaServerSettings settings_;
    std::unique_ptr<Parts> parts_;
};

} // namespace vorn::ua
