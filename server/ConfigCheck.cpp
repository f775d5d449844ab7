#include "ConfigCheck.h"

#include "engine/DeviceProbe.h"
#include "engine/PollPlacement.h"
#include "engine/PolledTag.h"
#include "fileformat/SerialPorts.h"
#include "modbus/ErrorCodes.h"
#include "server/TraceCapture.h"

namespace vorn {
namespace {

// Any rate will do: tags of one rate group the same way whatever it is.
constexpr uint32_t kOneRateMs = 1000;

void collectTags(const SODaSNode& branch, std::vector<modbus::PolledTag*>& tags) {
    for (const auto& leaf : branch.getLeaves())
        if (auto* tag = dynamic_cast<modbus::PolledTag*>(leaf.get()))
            tags.push_back(tag);
    for (const auto& child : branch.getBranches())
        collectTags(*child, tags);
}

std::string portLine(const Registry& registry, const std::string& port) {
    const format::SerialDevice device = format::serialDeviceOf(registry, port);
    if (device.mapped)
        return port + " = " + device.path + " (registry value " + port + " under [" +
               format::kRennickPortsRegistryKey + "])";
    if (!device.path.empty())
        return port + " = " + device.path + " (default: no registry value " + port + " under [" +
               format::kRennickPortsRegistryKey + "])";
    return port + ": no device (name it with the registry value " + port + " under [" +
           format::kRennickPortsRegistryKey + "])";
}

// The engine's devices in the file's order, with the poll blocks the readable tags form when
// polled at one rate.
std::vector<modbus::EngineDevice> placedDevices(GatewayServer& core,
                                                const std::vector<modbus::PolledTag*>& tags) {
    const ServerConfig& config = core.config();
    std::vector<modbus::EngineDevice> devices;
    for (auto pos = config.devices.getStartPosition(); pos;) {
        modbus::EngineDevice& device = devices.emplace_back();
        device.device = config.devices.getNext(pos); // its read limits shape its blocks
        device.index = static_cast<uint16_t>(devices.size());
    }
    modbus::PollPlacement placement(config.modbusTypes,
                                    core.identity().kind == ServerKind::rennick);
    for (modbus::PolledTag* tag : tags) {
        if (!(tag->getAccessRights() & AccessRights::kReadable))
            continue;
        for (modbus::EngineDevice& device : devices)
            if (device.device == tag->device()) [[maybe_unused]]
                bool placed = placement.add(device, *tag, kOneRateMs, 0);
    }
    for (modbus::EngineDevice& device : devices)
        placement.recompute(device);
    return devices;
}

// A transfer's outcome as the probe prints it.
std::string outcomeText(int code) {
    switch (code) {
    case modbus::ErrorCode::kSuccess:
        return "read";
    case modbus::ErrorCode::kIllegalFunction:
        return "exception 1, illegal function";
    case modbus::ErrorCode::kIllegalDataAddress:
        return "exception 2, illegal data address";
    case modbus::ErrorCode::kIllegalDataValue:
        return "exception 3, illegal data value";
    case modbus::ErrorCode::kOtherException:
        return "another exception";
    default:
        return "error " + std::to_string(code);
    }
}

} // namespace

ConfigCheckReport checkConfiguration(GatewayServer& core) {
    ConfigCheckReport report;
    ConfigSearch search;
    {
        TraceCapture capture;
        search = core.loadConfiguration(nullptr);
        for (const TracedLine& line : capture.lines())
            report.findings.push_back(line.id + ": " + line.text);
    }

    report.places = search.tried;
    report.loaded = !search.loaded.empty();
    const ServerConfig& config = core.config();
    report.devices = config.devices.getCount();
    for (const modbus::SerialPortSettings& port : config.serialPorts.ports())
        report.ports.push_back(portLine(core.registry(), port.name));

    std::vector<modbus::PolledTag*> tags;
    collectTags(*core.entry().getNameSpaceRoot(), tags);
    report.tags = tags.size();

    for (const modbus::EngineDevice& device : placedDevices(core, tags))
        report.pollBlocks += device.pollBlocks.size();
    return report;
}

int printConfigCheck(const ConfigCheckReport& report, std::FILE* out) {
    for (const std::string& place : report.places)
        std::fprintf(out, "looked in %s\n", place.c_str());
    for (const std::string& port : report.ports)
        std::fprintf(out, "port %s\n", port.c_str());
    for (const std::string& finding : report.findings)
        std::fprintf(out, "%s\n", finding.c_str());
    if (!report.loaded)
        std::fprintf(out, "no configuration file could be read\n");
    std::fprintf(out, "devices: %zu, tags: %zu, poll blocks per update rate: %zu\n", report.devices,
                 report.tags, report.pollBlocks);
    const size_t problems = report.findings.size() + (report.loaded ? 0 : 1);
    if (report.clean())
        std::fprintf(out, "configuration OK\n");
    else
        std::fprintf(out, "%zu problem(s)%s\n", problems,
                     report.devices == 0 ? ", and no device to serve" : "");
    return report.clean() ? 0 : 1;
}

modbus::ProbeReport probeConfiguration(GatewayServer& core, modbus::ModbusTransport& transport) {
    std::vector<modbus::PolledTag*> tags;
    collectTags(*core.entry().getNameSpaceRoot(), tags);
    std::vector<modbus::EngineDevice> devices = placedDevices(core, tags);
    return modbus::probeDevices(devices, transport);
}

void printProbe(const modbus::ProbeReport& report, std::FILE* out) {
    size_t unreachable = 0;
    for (const modbus::ProbedDevice& device : report.devices) {
        const std::string where = device.endpoint.empty() ? "" : " at " + device.endpoint;
        if (modbus::isCommunicationError(device.code)) {
            ++unreachable;
            std::fprintf(out, "probe: %s%s: unreachable (%s)\n", device.name.c_str(), where.c_str(),
                         outcomeText(device.code).c_str());
        } else {
            std::fprintf(out, "probe: %s%s: %zu poll block(s) read\n", device.name.c_str(),
                         where.c_str(), device.blocksRead);
        }
    }
    for (const modbus::ProbedSplit& split : report.splits) {
        std::fprintf(out, "probe: %s: %s refused together (%s): read tag by tag\n",
                     split.device.c_str(), split.units.c_str(), outcomeText(split.refusal).c_str());
        for (const modbus::ProbedTag& tag : split.tags)
            std::fprintf(out, "probe:   %s: %s\n", tag.itemId.c_str(),
                         outcomeText(tag.code).c_str());
    }
    std::fprintf(out, "probe: %zu device(s) unreachable, %zu block(s) split\n", unreachable,
                 report.splits.size());
}

} // namespace vorn
