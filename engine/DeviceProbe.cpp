#include "DeviceProbe.h"

#include "engine/BlockTransfer.h"
#include "engine/CommThread.h"
#include "modbus/ErrorCodes.h"

namespace vorn::modbus {

namespace {

void probeDevice(EngineDevice& device, ModbusTransport& transport, ProbeReport& report) {
    ProbedDevice& probed = report.devices.emplace_back();
    probed.name = device.device->name;
    probed.code = transport.selectDevice(device.index);
    probed.endpoint = transport.activeEndpoint(device.index);
    if (isCommunicationError(probed.code))
        return;
    for (const auto& block : device.pollBlocks) {
        const PollRead read =
            readPollBlock(transport, *block, device.device->readLimits, device.splitLayouts);
        if (isCommunicationError(read.code)) {
            probed.code = read.code; // its other blocks would only wait for it too
            return;
        }
        ++probed.blocksRead;
        if (read.refusal == ErrorCode::kSuccess)
            continue;
        ProbedSplit& split = report.splits.emplace_back();
        split.device = probed.name;
        split.units = unitsText(block->kind, block->start, block->length);
        split.refusal = read.refusal;
        size_t i = 0;
        for (PolledTag* tag : block->members)
            split.tags.push_back({tag->getItemID(), read.tagCodes.at(i++)});
    }
    (void)transport.releaseDevice(device.index);
}

} // namespace

ProbeReport probeDevices(std::vector<EngineDevice>& devices, ModbusTransport& transport) {
    ProbeReport report;
    std::vector<DeviceEntry> table;
    for (const EngineDevice& device : devices)
        table.push_back(transportEntryOf(*device.device));
    if (const int code = transport.start(std::move(table)); code != ErrorCode::kSuccess) {
        for (const EngineDevice& device : devices)
            report.devices.push_back({device.device->name, {}, code, 0});
        return report;
    }
    for (EngineDevice& device : devices)
        probeDevice(device, transport, report);
    transport.closeAll();
    return report;
}

} // namespace vorn::modbus
