#include "ConfigDifference.h"

#include "engine/PolledTag.h"

#include <limits>
#include <unordered_map>

namespace vorn {
namespace {

// Every tag below `node`, depth first, in the tree's order.
void collectTags(const SODaSNode& node, std::vector<SOCmnPointer<SODaSTag>>& tags) {
    for (auto& leaf : node.getLeaves())
        tags.push_back(leaf);
    for (auto& branch : node.getBranches())
        collectTags(*branch, tags);
}

bool sameFunctionCodes(const modbus::ModbusTypeTable& a, const modbus::ModbusTypeTable& b) {
    for (unsigned kind = 0; kind <= std::numeric_limits<uint8_t>::max(); ++kind)
        if (!(a.lookup(static_cast<uint8_t>(kind)) == b.lookup(static_cast<uint8_t>(kind))))
            return false;
    return true;
}

void compareDevices(const RunningDevices& running,
                    const std::vector<SOCmnPointer<PlcDevice>>& runningList,
                    const std::vector<SOCmnPointer<PlcDevice>>& loaded,
                    ConfigDifference& difference) {
    const RunningDevices loadedByName(loaded);
    for (const auto& device : loaded) {
        if (!running.has(device->name))
            difference.addedDevices.push_back(device->name);
        else if (!running.keptFor(*device))
            difference.changedDevices.push_back(device->name);
    }
    for (const auto& device : runningList)
        if (!loadedByName.has(device->name))
            difference.removedDevices.push_back(device->name);
}

void compareLines(const modbus::SerialPortList& running, const modbus::SerialPortList& loaded,
                  ConfigDifference& difference) {
    for (const auto& port : loaded.ports())
        if (const auto* old = running.find(port.name); old && !(*old == port))
            difference.changedLines.push_back(port.name);
}

void compareTags(const SODaSNameSpaceRoot& runningTree, const SODaSNameSpaceRoot& loadedTree,
                 const RunningDevices& runningDevices, ConfigDifference& difference) {
    std::vector<SOCmnPointer<SODaSTag>> loaded;
    collectTags(loadedTree, loaded);
    for (const auto& tag : loaded) {
        const std::string itemId = tag->getItemID();
        const auto old = runningTree.findTag(itemId);
        if (!old) {
            difference.addedTags.push_back(itemId);
            continue;
        }
        const auto* oldTag = dynamic_cast<const modbus::PolledTag*>(old.get());
        const auto* newTag = dynamic_cast<const modbus::PolledTag*>(tag.get());
        bool same = oldTag && newTag;
        if (same) {
            TagConfig before = oldTag->config();
            TagConfig after = newTag->config();
            // A tag of an unchanged device keeps the running device: compare it as such.
            if (auto kept = runningDevices.keptFor(*after.device))
                after.device = kept;
            same = before == after;
        }
        if (same)
            ++difference.unchangedTags;
        else
            difference.changedTags.push_back(itemId);
    }
    std::vector<SOCmnPointer<SODaSTag>> running;
    collectTags(runningTree, running);
    for (const auto& tag : running) {
        std::string itemId = tag->getItemID();
        if (!loadedTree.findTag(itemId))
            difference.removedTags.push_back(std::move(itemId));
    }
}

std::string counted(size_t count, const char* what, const char* how) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s") + " " + how;
}

} // namespace

RunningDevices::RunningDevices(const std::vector<SOCmnPointer<PlcDevice>>& running) {
    for (const auto& device : running)
        byName_.emplace(device->name, device);
}

SOCmnPointer<PlcDevice> RunningDevices::keptFor(const PlcDevice& loaded) const {
    auto running = byName_.find(loaded.name);
    if (running == byName_.end() || !(static_cast<const DeviceConfig&>(*running->second) ==
                                      static_cast<const DeviceConfig&>(loaded)))
        return nullptr;
    return running->second;
}

std::vector<SOCmnPointer<PlcDevice>> devicesOf(const ServerConfig& config) {
    std::vector<SOCmnPointer<PlcDevice>> devices;
    config.devices.lock();
    for (auto pos = config.devices.getStartPosition(); pos;)
        devices.push_back(config.devices.getNext(pos));
    config.devices.unlock();
    return devices;
}

ConfigDifference compareConfigurations(const ServerConfig& running,
                                       const SODaSNameSpaceRoot& runningTree,
                                       const ServerConfig& loaded,
                                       const SODaSNameSpaceRoot& loadedTree) {
    ConfigDifference difference;
    const auto runningList = devicesOf(running);
    const RunningDevices runningDevices(runningList);
    compareDevices(runningDevices, runningList, devicesOf(loaded), difference);
    compareLines(running.serialPorts, loaded.serialPorts, difference);
    compareTags(runningTree, loadedTree, runningDevices, difference);
    difference.functionCodesChanged = !sameFunctionCodes(running.modbusTypes, loaded.modbusTypes);
    return difference;
}

std::string ConfigDifference::describe() const {
    if (isEmpty())
        return "nothing changed";
    std::string text;
    auto add = [&text](size_t count, const char* what, const char* how) {
        if (count == 0)
            return;
        if (!text.empty())
            text += ", ";
        text += counted(count, what, how);
    };
    add(addedDevices.size(), "device", "added");
    add(removedDevices.size(), "device", "removed");
    add(changedDevices.size(), "device", "changed");
    add(changedLines.size(), "serial line", "changed");
    add(addedTags.size(), "tag", "added");
    add(removedTags.size(), "tag", "removed");
    add(changedTags.size(), "tag", "changed");
    if (functionCodesChanged)
        text += std::string(text.empty() ? "" : ", ") + "function codes changed";
    return text;
}

} // namespace vorn
