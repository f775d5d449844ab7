#include "ModbusTag.h"

#include <atomic>

namespace vorn {
namespace {

std::atomic<bool> testTool{false};

bool isDeviceOperation(uint16_t operation) {
    return operation == SODaSRequest::kSyncDevice || operation == SODaSRequest::kAsyncDevice;
}

} // namespace

void setTestToolMode(bool on) {
    testTool.store(on);
}
bool testToolMode() {
    return testTool.load();
}

void ModbusTag::handleRequest(SODaSRequest& request) {
    auto self = SOCmnPointer<modbus::PolledTag>::share(this);
    auto entry = [&] {
        return modbus::QueuedRequest{SOCmnPointer<SODaSRequest>::share(&request), self, kind()};
    };
    switch (request.getType()) {
    case SODaSRequest::read:
        if (!isDeviceOperation(request.getOperation())) {
            request.complete(S_OK, false, Quality::kUncertain, false, true);
            return;
        }
        request.start();
        queues_.appendDeviceRead(entry());
        return;
    case SODaSRequest::write:
        if (!testToolMode()) {
            request.start();
        } else if (isDeviceOperation(request.getOperation())) {
            request.start();
        } else if (request.getOperation() == SODaSRequest::kSyncCache ||
                   request.getOperation() == SODaSRequest::kAsyncCache) {
            request.complete(S_OK, false, Quality::kUncertain, false, true);
        }
        queues_.appendWrite(entry());
        return;
    default:
        return;
    }
}

ConfigLoader::TagFactory modbusTagFactory(modbus::EngineQueues& queues) {
    return [&queues](const TagConfig& config) -> SOCmnPointer<SODaSTag> {
        return makeObject<ModbusTag>(config, queues);
    };
}

ConfigLoader::TagFactory modbusTagFactory(modbus::ConnectionWorkers& workers) {
    return [&workers](const TagConfig& config) -> SOCmnPointer<SODaSTag> {
        return makeObject<ModbusTag>(config, workers.queuesFor(*config.device));
    };
}

} // namespace vorn
