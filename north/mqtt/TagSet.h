// What the publisher publishes: the devices (the branches under the name space's root) and
// every tag below them with its metric name, alias and type. Made from the toolkit's name
// space in one place, so that a rebirth after the tag set changes makes a new one here.
// Immutable once made; shared by the publisher's threads and the engine's (cache lookups).
#pragma once

#include "north/mqtt/DataTypes.h"
#include "toolkit/SODaSNode.h"
#include "toolkit/SODaSTag.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace vorn::north::mqtt {

struct PublishedTag {
    SOCmnPointer<SODaSTag> tag;
    std::string itemId;     // "P1.Pumps.Level", for writes and logs
    std::string metricName; // Sparkplug: the branch path below the device with '/': "Pumps/Level"
    std::string jsonName;   // JSON: the same with '.': "Pumps.Level"
    uint64_t alias = 0;     // unique in the edge node
    uint32_t device = 0;    // index in devices()
    const DataTypeRow* type = nullptr;
    bool writable = false;
    std::string engineeringUnit; // the tag's EU units property (100), when it has one
};

struct PublishedDevice {
    std::string name;
    uint32_t firstTag = 0; // a device's tags are consecutive in tags()
    uint32_t tagCount = 0;
};

class TagSet {
public:
    static constexpr uint32_t kNoTag = UINT32_MAX;
    // OPC DA property id of a tag's engineering unit ("EU Units").
    static constexpr uint32_t kPropertyEngineeringUnit = 100;

    // Every device branch and tag of `root`, in the name space's order. Tags whose type has no
    // row in the type table are left out and named in `skipped`.
    static TagSet fromNameSpace(const SODaSNameSpaceRoot& root, std::vector<std::string>& skipped);

    const std::vector<PublishedDevice>& devices() const { return devices_; }
    const std::vector<PublishedTag>& tags() const { return tags_; }
    // The index of the tag whose cache this is, or kNoTag.
    uint32_t indexOfCache(const void* cache) const;
    // The device of a name, or -1.
    int deviceIndex(const std::string& name) const;
    // The tag of a device by Sparkplug metric name or alias (alias used when non-zero), or kNoTag.
    uint32_t findMetric(uint32_t device, const std::string& name, uint64_t alias) const;
    // The tag of a device by its JSON name, or kNoTag.
    uint32_t findJsonName(uint32_t device, const std::string& name) const;

private:
    std::vector<PublishedDevice> devices_;
    std::vector<PublishedTag> tags_;
    std::unordered_map<const void*, uint32_t> byCache_;
    std::unordered_map<uint64_t, uint32_t> byAlias_;
};

} // namespace vorn::north::mqtt
