// What a payload format makes of the publisher's stream: topics and payloads for the node and
// device births and deaths, data, the will, and the commands it reads back. Sparkplug B
// (`SparkplugFormat`) and plain JSON (`JsonFormat`). Called on the publisher's thread only, in
// the order the messages go out (Sparkplug numbers them).
#pragma once

#include "north/mqtt/ChangeRecord.h"
#include "platform/Variant.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vorn::north::mqtt {

struct OutgoingMessage {
    std::string topic;
    std::string payload;
    bool retain = false;
};

// What a tag holds now, for a birth.
struct TagState {
    Variant value;
    uint16_t quality = 0;
    int64_t timeMs = 0;
};

// What the node says of itself in its birth.
struct NodeState {
    uint64_t bdSeq = 0;
    std::string serverState;            // "running"
    uint32_t configurationWarnings = 0; // skipped elements and warnings of the loaded file
};

struct Command {
    enum class Kind { rebirth, write };
    Kind kind = Kind::write;
    uint32_t device = 0;
    struct Write {
        uint32_t tag;
        Variant value;
    };
    std::vector<Write> writes;
    std::vector<std::string> unknown; // metric names or aliases that name no tag of the device
};

class PayloadFormat {
public:
    virtual ~PayloadFormat() = default;
    // The message the broker publishes when the connection is lost (also sent at a clean stop).
    virtual OutgoingMessage death(const NodeState& node) = 0;
    // Topic filters to subscribe to for commands.
    virtual std::vector<std::string> commandTopics() const = 0;
    // A connection's (or a rebirth's) first message; restarts the numbering.
    virtual OutgoingMessage nodeBirth(const NodeState& node) = 0;
    // A device's birth: every tag's current value (JSON: also its status, online again).
    virtual std::vector<OutgoingMessage> deviceBirth(uint32_t device,
                                                     std::span<const TagState> tags) = 0;
    virtual OutgoingMessage deviceDeath(uint32_t device, int64_t timeMs) = 0;
    // Records of one device, each tag at most once, in order; `historical` for those kept
    // while the broker was away.
    virtual OutgoingMessage deviceData(uint32_t device, std::span<const ChangeRecord> records,
                                       bool historical) = 0;
    // A command message; nullopt for a topic or payload that is none (the reason in `error`).
    virtual std::optional<Command> parseCommand(const std::string& topic,
                                                const std::string& payload,
                                                std::string& error) const = 0;
};

// The text of a topic level made from a name: MQTT separators and wildcards become '_'.
std::string topicLevel(const std::string& name);

} // namespace vorn::north::mqtt
