// The server-wide MQTT settings: registry values under the server's key (docs/configuration.md,
// "Publishing to MQTT"). Without "MqttBroker" nothing is published; a value that cannot be
// read leaves MQTT off with the reason, never published with a setting the user did not give.
#pragma once

#include "platform/Registry.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vorn::north::mqtt {

enum class PayloadKind { sparkplugB, json };
enum class PublishMode { onChange, interval };

struct BrokerUrl {
    bool tls = false; // mqtts://
    std::string host;
    uint16_t port = 1883;
    std::string text; // as written, for status lines
};

struct MqttSettings {
    // Limits of the numeric settings, shared by the reader and its messages.
    static constexpr uint32_t kMinUpdateRateMs = 20, kMaxRateMs = 3600000;
    static constexpr uint32_t kMinPublishIntervalMs = 100;
    static constexpr uint32_t kMinBufferMb = 1, kMaxBufferMb = 4096;

    BrokerUrl broker;
    PayloadKind payload = PayloadKind::sparkplugB;
    std::string groupId;     // Sparkplug group id; default the server's name
    std::string edgeNodeId;  // Sparkplug edge node id; default the host name
    std::string topicPrefix; // JSON topics; default "<group id>/<edge node id>"
    std::string clientId;    // default "<group id>-<edge node id>"
    std::string user;        // empty: no user name
    std::string password;    // read from passwordFile when a user is set
    std::filesystem::path passwordFile;
    std::string caFile, certFile, keyFile; // TLS; CA default the system's
    int qos = 1;
    uint32_t updateRateMs = 1000; // how often the publisher's tags are polled
    PublishMode mode = PublishMode::onChange;
    uint32_t publishIntervalMs = 10000; // interval mode: every tag this often
    uint32_t bufferMb = 64;             // store and forward, memory and file together
    std::filesystem::path stateFolder;  // the store-and-forward file
    bool writes = false;                // DCMD writes allowed
};

// The outcome of reading the settings: none (no broker named), settings, or errors.
struct MqttSettingsRead {
    std::optional<MqttSettings> settings;
    std::vector<std::string> errors; // each names the registry value and what it must be
};

// Where the server keeps its MQTT files: $XDG_DATA_HOME or ~/.local/share, then
// VornAutomation/mqtt/<server>.
std::filesystem::path defaultStateFolder(const std::string& serverName);
// The password file the server reads: "MqttPasswordFile", else "broker.password" in the state
// folder ("MqttStateFolder", else the default).
std::filesystem::path passwordFilePath(const Registry& registry, const std::string& key,
                                       const std::string& serverName);

// Reads the values under `key`; `serverName` and `hostName` give the defaults.
MqttSettingsRead readMqttSettings(const Registry& registry, const std::string& key,
                                  const std::string& serverName, const std::string& hostName);

// Parses "mqtt://host:port" or "mqtts://host:port" (port optional: 1883, 8883).
std::optional<BrokerUrl> parseBrokerUrl(const std::string& text);

// Reads a password file: the first line, without its end. An error (the reason) when the file
// cannot be read or other users may read it.
std::optional<std::string> readPasswordFile(const std::filesystem::path& file, std::string& error);
// Writes `password` into `file` (mode 0600, folder made when missing). False with the reason.
bool writePasswordFile(const std::filesystem::path& file, const std::string& password,
                       std::string& error);

} // namespace vorn::north::mqtt
