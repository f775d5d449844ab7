// What the page, the JSON API and /metrics show, copied out of the running server: the
// server's facts, every device with its health and poll blocks (under each engine's lock, held
// only for the copy), and a branch of the name space with its tags' cached values. The views
// render these copies; none of them touches the engine.
#pragma once

#include "engine/DeviceHealth.h"
#include "platform/Variant.h"
#include "toolkit/ua/UaStatistics.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorn {
class GatewayServer;
}

namespace vorn::web {

struct ServerFacts {
    std::string program; // "Tarnvale"
    std::string version; // "1.10 build 100"
    std::string configFile;
    std::vector<std::string> configWarnings; // "line 14: tag ..."
    std::string pollingMode;                 // "single" or "perConnection"
    std::chrono::system_clock::time_point startTime;
    std::string endpointUrl;
    std::vector<std::string> endpointSecurity; // "None", "Basic256Sha256 SignAndEncrypt"
    ua::UaStatistics ua;
};

struct BlockRow {
    std::string label; // "HREG100-LEN10", as in the status dialog
    uint8_t functionCode = 0;
    uint32_t updateRateMs = 0;
    size_t tags = 0;
    int lastResult = 0;     // 0 good, else the error code
    int64_t lastReadMs = 0; // since 1970; 0 = not read yet
};

struct DeviceRow {
    std::string name;
    std::string connection; // "127.0.0.1:502" or "COM1"
    modbus::DeviceHealthSnapshot health;
    std::string lastErrorText; // the wording of health.lastErrorCode ("" while 0)
    std::vector<BlockRow> blocks;
};

struct TagRow {
    std::string name;
    std::string itemId;
    std::string type;    // "VT_I2", "VT_R4 ARRAY", ...
    std::string value;   // as text; empty while the cache holds no value
    std::string quality; // "Good", "Bad: communication failure", ...
    uint16_t qualityCode = 0;
    int64_t timestampMs = 0; // since 1970; 0 = none yet
};

struct BranchView {
    std::string itemId; // "" is the root
    std::vector<std::string> branches;
    std::vector<TagRow> tags;
    bool cut = false; // more tags than Limits::kMaxTagsPerAnswer
};

class StatusReader {
public:
    explicit StatusReader(GatewayServer& server) : server_(server) {}

    ServerFacts server() const;
    std::vector<DeviceRow> devices() const;
    // The branch with this item ID ("" for the root); nothing when there is none.
    std::optional<BranchView> branch(const std::string& itemId) const;

private:
    GatewayServer& server_;
};

// A value as the tag browser shows it: numbers and text as the toolkit's type change writes
// them, TRUE/FALSE, arrays as "[1, 2, 3]" (the first 32 elements); strings end at their first
// zero character.
std::string valueText(const Variant& value);

// Milliseconds since 1970 (what JavaScript's Date takes); 0 for the epoch, meaning "never".
int64_t millisecondsSince1970(std::chrono::system_clock::time_point t);

} // namespace vorn::web
