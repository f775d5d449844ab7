// The server's tag: a polled tag whose client reads from the device and writes become
// entries of the engine's queues, served by the communication thread.
#pragma once

#include "config/ConfigLoader.h"
#include "engine/ConnectionWorkers.h"
#include "engine/EngineQueues.h"
#include "engine/PolledTag.h"

namespace vorn {

class ModbusTag : public modbus::PolledTag {
public:
    ModbusTag(const TagConfig& config, modbus::EngineQueues& queues)
        : PolledTag(config), queues_(queues) {}

    void handleRequest(SODaSRequest& request) override;
    modbus::EngineQueues& queues() const { return queues_; }

private:
    modbus::EngineQueues& queues_;
};

// Test mode (the "ctt" switch): writes of the cache-side operations complete at once, others
// of the device operations are started; see ModbusTag::handleRequest.
void setTestToolMode(bool on);
bool testToolMode();

// The tag factory the configuration loader uses: tags that queue on `queues`.
ConfigLoader::TagFactory modbusTagFactory(modbus::EngineQueues& queues);
// Polling per connection: each tag queues on the worker of its device's connection.
ConfigLoader::TagFactory modbusTagFactory(modbus::ConnectionWorkers& workers);

} // namespace vorn
