// What the Server object shows: build information, start time, and the state that turns to
// Shutdown with a countdown and a reason when the server is about to end. Shared by the
// address space (reads) and the server (shutdown); safe from any thread.
#pragma once

#include "toolkit/ua/UaTypes.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

namespace vorn::ua {

struct BuildInfoText {
    std::string productUri;
    std::string manufacturerName;
    std::string productName;
    std::string softwareVersion;
    std::string buildNumber;
};

class ServerInfo {
public:
    // `moreNamespaceUris` follow the tags' namespace in the NamespaceArray.
    ServerInfo(BuildInfoText build, std::string applicationUri, std::string namespaceUri,
               std::vector<std::string> moreNamespaceUris = {});

    const BuildInfoText& build() const { return build_; }
    const std::string& applicationUri() const { return applicationUri_; }
    const std::string& namespaceUri() const { return namespaceUri_; }
    const std::vector<std::string>& moreNamespaceUris() const { return moreNamespaceUris_; }
    DateTime startTime() const { return startTime_; }

    void beginShutdown(const std::string& reason, uint32_t secondsTillShutdown);
    bool isShuttingDown() const { return shuttingDown_.load(); }
    int32_t state() const;
    // Seconds left of the announced countdown, 0 while running.
    uint32_t secondsTillShutdown() const;
    std::string shutdownReason() const;

    // The ServerStatusDataType structure, encoded.
    ExtensionObject serverStatus() const;
    ExtensionObject buildInfo() const;

private:
    const BuildInfoText build_;
    const std::string applicationUri_;
    const std::string namespaceUri_;
    const std::vector<std::string> moreNamespaceUris_;
    const DateTime startTime_;
    std::atomic<bool> shuttingDown_{false};
    mutable std::mutex mutex_;
    std::string reason_;
    std::chrono::steady_clock::time_point shutdownAt_;
};

} // namespace vorn::ua
