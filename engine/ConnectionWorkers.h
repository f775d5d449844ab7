// Polling per connection: one communication thread per TCP connection (address and port) and
// per serial line, each running the same cycle as the single engine over the devices of its
// connection, with its own transport and its own queues. A device that does not answer then
// costs its timeout in its own connection's cycle only; the devices of one serial line still
// go one request at a time, as they share the wire.
//
// Tags are bound to their worker's queues when the configuration is loaded (queuesFor), so a
// client's read, write or activation reaches the worker that polls the tag's device.
#pragma once

#include "config/ServerConfig.h"
#include "engine/CommThread.h"
#include "engine/EngineQueues.h"
#include "modbus/ModbusTransport.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vorn::modbus {

class ConnectionWorkers {
public:
    // Makes a transport for the devices of one connection (the configuration holds only them).
    using TransportFactory = std::function<std::unique_ptr<ModbusTransport>(const ServerConfig&)>;

    explicit ConnectionWorkers(bool serialLines) : serialLines_(serialLines) {}
    ~ConnectionWorkers();
    ConnectionWorkers(const ConnectionWorkers&) = delete;
    ConnectionWorkers& operator=(const ConnectionWorkers&) = delete;

    // Which connection a device is on: "address:port", or the serial port's name.
    std::string connectionOf(const PlcDevice& device) const;

    // The queues of the worker that will poll `device`; called while the configuration loads.
    EngineQueues& queuesFor(const PlcDevice& device);

    // One worker per connection of the configuration, in the order of their first devices,
    // each over its devices in configuration order; then starts them all.
    void start(const ServerConfig& config, const TransportFactory& makeTransport,
               EngineObserver& observer, const EngineSettings& settings,
               const OutcomeListener& onOutcome = {});
    // Signals every worker first and then waits for each, so that stopping takes as long as
    // the slowest transfer under way rather than the sum of them.
    void stop();

    // The workers polling, once started.
    size_t count() const { return polling_.size(); }
    CommThread& engine(size_t i) { return *polling_[i]->engine; }
    EngineQueues& queues(size_t i) { return *polling_[i]->queues; }
    const ServerConfig& config(size_t i) const { return *polling_[i]->config; }

private:
    struct Worker {
        std::string connection;
        std::unique_ptr<EngineQueues> queues = std::make_unique<EngineQueues>();
        std::unique_ptr<ServerConfig> config = std::make_unique<ServerConfig>();
        std::unique_ptr<ModbusTransport> transport;
        std::unique_ptr<CommThread> engine;
    };
    Worker& workerFor(const PlcDevice& device);

    const bool serialLines_;
    std::vector<std::unique_ptr<Worker>> workers_; // every connection tags were bound to
    std::vector<Worker*> polling_;                 // those with devices, each with its thread
};

} // namespace vorn::modbus
