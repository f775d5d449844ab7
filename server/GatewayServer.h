// Everything a server runs, without its window: the toolkit entry with the server's classes,
// the configuration and address space, the polling engine over the build's transport, and the
// start and shutdown sequences. The program's main() adds the window and the event loop.
#pragma once

#include "config/ConfigLoader.h"
#include "config/ServerConfig.h"
#include "engine/CommThread.h"
#include "engine/ConnectionWorkers.h"
#include "modbus/ModbusTransport.h"
#include "north/mqtt/MqttPublisher.h"
#include "platform/Registry.h"
#include "server/ConfigReload.h"
#include "server/ServerEventHandler.h"
#include "server/ServerIdentity.h"
#include "server/TraceCapture.h"
#include "toolkit/SODaSEntry.h"
#include "toolkit/ua/UaServer.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vorn {

class GatewayServer {
public:
    // Makes the build's transport once the configuration (serial ports) is known.
    using TransportFactory =
        std::function<std::unique_ptr<modbus::ModbusTransport>(const ServerConfig&)>;
    // How long a shutdown waits for connected clients to let go.
    static constexpr uint32_t kClientShutdownWaitMs = 10000;
    static constexpr const char* kShutdownReason = "Server shutdown";

    GatewayServer(ServerKind kind, TransportFactory makeTransport, Registry registry = Registry());
    ~GatewayServer();
    GatewayServer(const GatewayServer&) = delete;
    GatewayServer& operator=(const GatewayServer&) = delete;

    const ServerIdentity& identity() const { return identity_; }
    SODaSEntry& entry() { return *entry_; }
    Registry& registry() { return registry_; }

    // The registration records of the command line's REGSERVER and UNREGSERVER.
    bool registerServer();
    bool unregisterServer();

    // The handler that ends a server started on demand when its last client leaves.
    void installEventHandler(bool embedded, std::function<void()> closeMainWindow);
    void setTestTool(bool on);
    // The configuration file for this run instead of the one beside the program or in the
    // registry (command line "--config PATH").
    void setConfigPath(std::string path) { configPath_ = std::move(path); }
    // Hears every poll outcome of every device (set before start()).
    void setOutcomeListener(modbus::OutcomeListener listener) {
        outcomeListener_ = std::move(listener);
    }
    // True once start() has loaded a configuration that holds at least one device.
    bool hasDevices() const { return !config_.devices.isEmpty(); }

    // Finds and loads the configuration and builds the address space (message boxes owned by
    // `owner`); start() does this first. Tells where it looked.
    ConfigSearch loadConfiguration(void* owner);

    // Loads the configuration (message boxes owned by `owner`), builds the address space,
    // starts the communication thread reporting to `observer`, and starts serving clients.
    // False, with the reason, when the server cannot serve.
    bool start(modbus::EngineObserver& observer, void* owner, std::string& error);

    // Asks connected clients to leave (waiting at most kClientShutdownWaitMs for them), stops
    // the communication thread and lets go of the devices. Safe to call more than once.
    void shutdown();

    // The communication thread and its queues; polling per connection: the first worker's.
    modbus::CommThread* engine();
    modbus::EngineQueues& queues();
    // Every polling engine: one, or one per connection.
    std::vector<const modbus::CommThread*> engines() const;
    // The same engines with the queues each is fed from (and whose lock guards its blocks).
    struct PollingEngine {
        const modbus::CommThread* engine;
        modbus::EngineQueues* queues;
    };
    std::vector<PollingEngine> pollingEngines();
    // The registry value "PollingMode": "perConnection" gives every TCP connection and serial
    // line a polling thread of its own; anything else (default "single") one for all devices.
    bool pollsPerConnection() const;
    const ServerConfig& config() const { return config_; }
    // The OPC UA port from the registry value "OpcUaPort" (0: any free port), else the kind's
    // default.
    uint16_t opcUaPort() const;
    // The endpoint clients reach once the server has started, e.g. "opc.tcp://host:4840".
    std::string endpointUrl() const;
    // What the configuration load (or the last reload) gave: devices, tags, skipped elements
    // and the file. Copies, as a reload may replace them meanwhile.
    std::string configSummary() const;
    ConfigSummary configLoad() const;
    // The load's "CFG" lines (skipped and degraded elements, with their line numbers).
    std::vector<std::string> configWarnings() const;

    // Loads the configuration file again and applies what changed while clients stay
    // connected (server/ConfigReload.h); a file that does not load, or loads no device,
    // changes nothing and the outcome says why. One reload at a time; any thread but the
    // communication thread.
    ReloadOutcome reload();
    // When start() began serving; epoch before.
    std::chrono::system_clock::time_point startTime() const { return startTime_; }
    // The OPC UA endpoints' security (policy and mode pairs) and what they serve now.
    const std::vector<ua::security::EndpointSecurity>& uaEndpoints() const { return uaEndpoints_; }
    ua::UaStatistics uaStatistics() const;
    // The MQTT publisher, when the registry names a broker ("MqttBroker"); null otherwise.
    const north::mqtt::MqttPublisher* mqttPublisher() const { return mqtt_.get(); }
    // Once started with secure endpoints, where the trust lists are and which certificate
    // clients are to trust: "PKI folder <path>, certificate thumbprint <hex>"; else empty.
    std::string pkiSummary() const;

private:
    // The publisher of the registry's MQTT settings, or none (no broker, or settings that
    // cannot be read: each named in the trace).
    void makeMqttPublisher(const std::string& hostName);
    // Writes a load's captured trace lines as they would have been; returns its "CFG" lines.
    static std::vector<std::string> retrace(const std::vector<TracedLine>& traced);

    const ServerIdentity& identity_;
    TransportFactory makeTransport_;
    Registry registry_;
    SOCmnPointer<SODaSEntry> entry_;
    SOCmnPointer<ServerEventHandler> eventHandler_;
    modbus::EngineQueues queues_;
    ServerConfig config_;
    std::unique_ptr<modbus::ModbusTransport> transport_;
    std::unique_ptr<modbus::CommThread> engine_;
    std::unique_ptr<modbus::ConnectionWorkers> workers_; // polling per connection
    std::unique_ptr<ua::UaServer> uaServer_;
    std::unique_ptr<north::mqtt::MqttPublisher> mqtt_;
    std::string configPath_;
    mutable std::mutex loadMutex_; // guards the three below, which a reload replaces
    std::string summaryLine_;      // devices, tags, skipped elements, file
    ConfigSummary configLoad_;
    std::vector<std::string> configWarnings_;
    std::chrono::system_clock::time_point startTime_{};
    std::vector<ua::security::EndpointSecurity> uaEndpoints_;
    modbus::OutcomeListener outcomeListener_;
    std::mutex outcomeMutex_; // per-connection workers report one at a time
    std::mutex reloadMutex_;  // one reload at a time
    bool shutDown_ = false;
};

} // namespace vorn
