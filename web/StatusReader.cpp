#include "StatusReader.h"

#include "engine/CommThread.h"
#include "server/GatewayServer.h"
#include "toolkit/SODaSCache.h"
#include "toolkit/SODaSTag.h"
#include "ui/BlockLabel.h"
#include "web/WebLimits.h"

namespace vorn::web {
namespace {

constexpr size_t kShownArrayElements = 32;

std::string securityText(const ua::security::EndpointSecurity& endpoint) {
    if (!endpoint.policy)
        return "None";
    return std::string(endpoint.policy->name()) +
           (endpoint.mode == ua::security::SecurityMode::sign ? " Sign" : " SignAndEncrypt");
}

std::string scalarText(const Variant& value) {
    switch (value.type()) {
    case VT_EMPTY:
        return {};
    case VT_BOOL:
        return value.asBool() ? "TRUE" : "FALSE";
    case VT_BSTR: {
        std::string text = value.toUtf8();
        return text.substr(0, text.find('\0'));
    }
    default:
        return value.toUtf8();
    }
}

TagRow rowOf(const SODaSTag& tag) {
    TagRow row{tag.getName(), tag.getItemID(), vartypeName(tag.getNativeDatatype()), {}, {}, 0, 0};
    CacheSnapshot snapshot;
    if (auto cache = tag.getCache())
        snapshot = cache->snapshot();
    row.value = valueText(snapshot.value);
    row.qualityCode = snapshot.quality;
    row.quality = qualityText(snapshot.quality);
    row.timestampMs = millisecondsSince1970(snapshot.timestamp);
    return row;
}

} // namespace

int64_t millisecondsSince1970(std::chrono::system_clock::time_point t) {
    if (t == std::chrono::system_clock::time_point{})
        return 0;
    return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}

std::string valueText(const Variant& value) {
    if (!value.isArray())
        return scalarText(value);
    std::string text = "[";
    for (size_t i = 0; i < value.size() && i < kShownArrayElements; ++i)
        text += (i ? ", " : "") + scalarText(value.at(i));
    if (value.size() > kShownArrayElements)
        text += ", ...";
    return text + "]";
}

ServerFacts StatusReader::server() const {
    ServerFacts facts;
    facts.program = server_.identity().programName;
    facts.version = std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) +
                    " build " + std::to_string(kVersionBuild);
    facts.configFile = server_.configLoad().path;
    facts.configWarnings = server_.configWarnings();
    facts.pollingMode = server_.pollsPerConnection() ? "perConnection" : "single";
    facts.startTime = server_.startTime();
    facts.endpointUrl = server_.endpointUrl();
    for (const auto& endpoint : server_.uaEndpoints())
        facts.endpointSecurity.push_back(securityText(endpoint));
    facts.ua = server_.uaStatistics();
    return facts;
}

std::vector<DeviceRow> StatusReader::devices() const {
    std::vector<DeviceRow> rows;
    for (const GatewayServer::PollingEngine& polling : server_.pollingEngines()) {
        const modbus::CommThread& engine = *polling.engine;
        const size_t first = rows.size();
        {
            // Only the copy runs under the lock: the engine waits for nothing else of ours. The
            // health goes with its device: a reload may change the devices once it is let go.
            std::lock_guard lock(polling.queues->engineLock());
            for (const modbus::EngineDevice& device : engine.devices()) {
                const PlcDevice& config = *device.device;
                DeviceRow row;
                row.name = config.name;
                row.connection = config.portName.empty()
                                     ? config.address + ":" + std::to_string(config.tcpPort)
                                     : config.portName;
                for (const auto& block : device.pollBlocks)
                    row.blocks.push_back({ui::blockLabel(block->kind, block->start, block->length),
                                          block->readCode, block->updateRate, block->members.size(),
                                          block->lastResult.load(), block->lastReadMs.load()});
                row.health = engine.health(rows.size() - first).snapshot();
                rows.push_back(std::move(row));
            }
        }
        for (size_t i = first; i < rows.size(); ++i) {
            if (rows[i].health.lastErrorCode != 0)
                rows[i].lastErrorText = rows[i].health.lastErrorText;
        }
    }
    return rows;
}

std::optional<BranchView> StatusReader::branch(const std::string& itemId) const {
    SOCmnPointer<SODaSNameSpaceRoot> root = server_.entry().getNameSpaceRoot();
    if (!root)
        return std::nullopt;
    SOCmnPointer<SODaSNode> node =
        itemId.empty() ? SOCmnPointer<SODaSNode>(root)
                       : SOCmnPointer<SODaSNode>::share(
                             dynamic_cast<SODaSNode*>(root->findElement(itemId).get()));
    if (!node)
        return std::nullopt;
    BranchView view{itemId, {}, {}, false};
    for (const auto& child : node->getBranches())
        view.branches.push_back(child->getName());
    for (const auto& leaf : node->getLeaves()) {
        if (view.tags.size() == Limits::kMaxTagsPerAnswer) {
            view.cut = true;
            break;
        }
        view.tags.push_back(rowOf(*leaf));
    }
    return view;
}

} // namespace vorn::web
