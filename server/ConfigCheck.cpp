#include "ConfigCheck.h"

#include "engine/PollPlacement.h"
#include "engine/PolledTag.h"
#include "fileformat/SerialPorts.h"
#include "server/TraceCapture.h"

#include <map>

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

    modbus::PollPlacement placement(config.modbusTypes,
                                    core.identity().kind == ServerKind::rennick);
    std::map<const PlcDevice*, modbus::EngineDevice> devices;
    for (modbus::PolledTag* tag : tags) {
        if (!(tag->getAccessRights() & AccessRights::kReadable))
            continue;
        modbus::EngineDevice& device = devices[tag->device().get()];
        device.device = tag->device(); // its read limits shape its blocks
        [[maybe_unused]] bool placed = placement.add(device, *tag, kOneRateMs, 0);
    }
    for (auto& [device, engineDevice] : devices) {
        placement.recompute(engineDevice);
        report.pollBlocks += engineDevice.pollBlocks.size();
    }
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

} // namespace vorn
