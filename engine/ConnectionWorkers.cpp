#include "ConnectionWorkers.h"

namespace vorn::modbus {

ConnectionWorkers::~ConnectionWorkers() {
    stop();
}

std::string ConnectionWorkers::connectionOf(const PlcDevice& device) const {
    if (serialLines_)
        return device.portName;
    return device.address + ":" + std::to_string(device.tcpPort);
}

ConnectionWorkers::Worker& ConnectionWorkers::workerFor(const PlcDevice& device) {
    const std::string connection = connectionOf(device);
    for (auto& worker : workers_)
        if (worker->connection == connection)
            return *worker;
    workers_.push_back(std::make_unique<Worker>());
    workers_.back()->connection = connection;
    return *workers_.back();
}

EngineQueues& ConnectionWorkers::queuesFor(const PlcDevice& device) {
    return *workerFor(device).queues;
}

void ConnectionWorkers::start(const ServerConfig& config, const TransportFactory& makeTransport,
                              EngineObserver& observer, const EngineSettings& settings,
                              const OutcomeListener& onOutcome) {
    config.devices.lock();
    for (auto pos = config.devices.getStartPosition(); pos;) {
        SOCmnPointer<PlcDevice> device = config.devices.getNext(pos);
        workerFor(*device).config->devices.add(device);
    }
    config.devices.unlock();
    // A connection whose devices were all refused while loading polls nothing; with no device
    // at all, one worker over none tells the observer so, as the single engine does.
    for (auto& worker : workers_)
        if (!worker->config->devices.isEmpty())
            polling_.push_back(worker.get());
    if (polling_.empty()) {
        workers_.push_back(std::make_unique<Worker>());
        polling_.push_back(workers_.back().get());
    }
    EngineSettings workerSettings = settings;
    workerSettings.holdUntilDue = true;
    for (Worker* worker : polling_) {
        worker->config->modbusTypes = config.modbusTypes;
        worker->config->serialPorts = config.serialPorts;
        worker->transport = makeTransport(*worker->config);
        worker->engine = std::make_unique<CommThread>(*worker->config, *worker->queues,
                                                      *worker->transport, observer, workerSettings);
        worker->engine->setOutcomeListener(onOutcome);
    }
    for (Worker* worker : polling_)
        worker->engine->start();
}

void ConnectionWorkers::stop() {
    for (Worker* worker : polling_)
        worker->engine->requestStop();
    for (Worker* worker : polling_)
        worker->engine->stop();
}

} // namespace vorn::modbus
