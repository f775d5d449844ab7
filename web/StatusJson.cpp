#include "StatusJson.h"

#include "toolkit/Quality.h"

#include <nlohmann/json.hpp>

namespace vorn::web {
namespace {

using nlohmann::json;

// Names and texts come from files and devices: invalid UTF-8 is replaced, never refused.
std::string dump(const json& document) {
    return document.dump(-1, ' ', false, json::error_handler_t::replace);
}

json blockJson(const BlockRow& block) {
    return {{"range", block.label},
            {"functionCode", block.functionCode},
            {"updateRateMs", block.updateRateMs},
            {"tags", block.tags},
            {"lastResult", block.lastResult},
            {"lastReadMs", block.lastReadMs}};
}

} // namespace

std::string serverJson(const ServerFacts& facts, const std::string& user, const std::string& role) {
    return dump({{"program", facts.program},
                 {"user", user},
                 {"role", role},
                 {"version", facts.version},
                 {"configFile", facts.configFile},
                 {"configWarnings", facts.configWarnings},
                 {"pollingMode", facts.pollingMode},
                 {"startTimeMs", millisecondsSince1970(facts.startTime)},
                 {"endpointUrl", facts.endpointUrl},
                 {"endpointSecurity", facts.endpointSecurity},
                 {"sessions", facts.ua.sessions},
                 {"subscriptions", facts.ua.subscriptions},
                 {"monitoredItems", facts.ua.monitoredItems}});
}

std::string devicesJson(const std::vector<DeviceRow>& devices) {
    json list = json::array();
    for (const DeviceRow& device : devices) {
        const modbus::DeviceHealthSnapshot& h = device.health;
        json row = {{"name", device.name},
                    {"connection", device.connection},
                    {"connected", h.connected},
                    {"polled", h.requestCount > 0},
                    {"lastErrorCode", h.lastErrorCode},
                    {"lastErrorText", device.lastErrorText},
                    {"sinceMs", millisecondsSince1970(h.stateSince)},
                    {"lastGoodMs", millisecondsSince1970(h.lastGoodTime)},
                    {"requests", h.requestCount},
                    {"errors", h.errorCount},
                    {"roundTripMs", h.roundTripMs},
                    {"readIntervalP50Ms", h.readIntervalP50Ms},
                    {"readIntervalP95Ms", h.readIntervalP95Ms},
                    {"busLoad", h.busLoad ? json(*h.busLoad) : json(nullptr)},
                    {"reducedRate", h.reducedRate},
                    {"splitBlocks", h.splitBlocks},
                    {"activeAddress", h.activeAddress},
                    {"blocks", json::array()}};
        for (const BlockRow& block : device.blocks)
            row["blocks"].push_back(blockJson(block));
        list.push_back(std::move(row));
    }
    return dump(list);
}

std::string branchJson(const BranchView& branch) {
    json tags = json::array();
    for (const TagRow& tag : branch.tags)
        tags.push_back({{"name", tag.name},
                        {"itemId", tag.itemId},
                        {"type", tag.type},
                        {"value", tag.value},
                        {"quality", tag.quality},
                        {"good", Quality::isGood(tag.qualityCode)},
                        {"timestampMs", tag.timestampMs}});
    return dump({{"branch", branch.itemId},
                 {"branches", branch.branches},
                 {"tags", std::move(tags)},
                 {"cut", branch.cut}});
}

} // namespace vorn::web
