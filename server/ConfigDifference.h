// What a reload changes: a newly loaded configuration against the one the server runs. Devices
// are matched by name, tags by item ID, serial lines by port name. A device is changed when
// any of its settings differs; a tag when any field of its definition differs or its device
// changed. Computing the difference changes neither configuration.
#pragma once

#include "config/ServerConfig.h"
#include "toolkit/SODaSNode.h"

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

namespace vorn {

struct ConfigDifference {
    // Device names, in the order of their file.
    std::vector<std::string> addedDevices;
    std::vector<std::string> removedDevices;
    std::vector<std::string> changedDevices;
    // Item IDs, in the order of a walk of their tree.
    std::vector<std::string> addedTags;
    std::vector<std::string> removedTags;
    std::vector<std::string> changedTags;
    size_t unchangedTags = 0;
    // Serial lines (port names) whose line settings (baud rate, parity, ...) changed; lines
    // only added or only removed come and go with their devices.
    std::vector<std::string> changedLines;
    // The function codes of a register kind (DATATYPE rows) changed.
    bool functionCodesChanged = false;

    bool devicesChanged() const {
        return !addedDevices.empty() || !removedDevices.empty() || !changedDevices.empty() ||
               !changedLines.empty();
    }
    bool tagsChanged() const {
        return !addedTags.empty() || !removedTags.empty() || !changedTags.empty();
    }
    bool isEmpty() const { return !devicesChanged() && !tagsChanged() && !functionCodesChanged; }
    // One line for the trace and the status line: "1 device added, 50 tags added, ...".
    std::string describe() const;
};

// The configuration's devices in file order, each counted.
std::vector<SOCmnPointer<PlcDevice>> devicesOf(const ServerConfig& config);

// The running devices by name: which of them a newly loaded device runs on as.
class RunningDevices {
public:
    explicit RunningDevices(const std::vector<SOCmnPointer<PlcDevice>>& running);

    bool has(const std::string& name) const { return byName_.contains(name); }
    // The running device of `loaded`'s name when every setting is equal (it runs on as that
    // object); null when `loaded` is new or changed.
    SOCmnPointer<PlcDevice> keptFor(const PlcDevice& loaded) const;

private:
    std::unordered_map<std::string, SOCmnPointer<PlcDevice>> byName_;
};

ConfigDifference compareConfigurations(const ServerConfig& running,
                                       const SODaSNameSpaceRoot& runningTree,
                                       const ServerConfig& loaded,
                                       const SODaSNameSpaceRoot& loadedTree);

} // namespace vorn
