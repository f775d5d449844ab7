#include "ServerInfo.h"

#include "toolkit/ua/UaBinary.h"
#include "toolkit/ua/UaIds.h"

namespace vorn::ua {
namespace {

void encodeBuildInfo(Encoder& e, const BuildInfoText& build, DateTime buildDate) {
    e.string(build.productUri);
    e.string(build.manufacturerName);
    e.string(build.productName);
    e.string(build.softwareVersion);
    e.string(build.buildNumber);
    e.dateTime(buildDate);
}

} // namespace

ServerInfo::ServerInfo(BuildInfoText build, std::string applicationUri, std::string namespaceUri,
                       std::vector<std::string> moreNamespaceUris)
    : build_(std::move(build)), applicationUri_(std::move(applicationUri)),
      namespaceUri_(std::move(namespaceUri)), moreNamespaceUris_(std::move(moreNamespaceUris)),
      startTime_(nowDateTime()) {}

void ServerInfo::beginShutdown(const std::string& reason, uint32_t secondsTillShutdown) {
    std::lock_guard lock(mutex_);
    reason_ = reason;
    shutdownAt_ = std::chrono::steady_clock::now() + std::chrono::seconds(secondsTillShutdown);
    shuttingDown_.store(true);
}

int32_t ServerInfo::state() const {
    return shuttingDown_.load() ? ServerState::kShutdown : ServerState::kRunning;
}

uint32_t ServerInfo::secondsTillShutdown() const {
    if (!shuttingDown_.load())
        return 0;
    std::lock_guard lock(mutex_);
    auto left = shutdownAt_ - std::chrono::steady_clock::now();
    auto seconds = std::chrono::ceil<std::chrono::seconds>(left).count();
    return seconds > 0 ? static_cast<uint32_t>(seconds) : 0;
}

std::string ServerInfo::shutdownReason() const {
    std::lock_guard lock(mutex_);
    return reason_;
}

ExtensionObject ServerInfo::buildInfo() const {
    Encoder e;
    encodeBuildInfo(e, build_, startTime_);
    return ExtensionObject{NodeId(0, TypeId::kBuildInfo), 1, std::move(e.bytes())};
}

ExtensionObject ServerInfo::serverStatus() const {
    Encoder e;
    e.dateTime(startTime_);
    e.dateTime(nowDateTime());
    e.i32(state());
    encodeBuildInfo(e, build_, startTime_);
    e.u32(secondsTillShutdown());
    e.localizedText(LocalizedText{"", shutdownReason()});
    return ExtensionObject{NodeId(0, TypeId::kServerStatusDataType), 1, std::move(e.bytes())};
}

} // namespace vorn::ua
