// Plain JSON, one topic per device: <prefix>/<device> carries
//   {"timestamp": 1767261600000, "values": {"Pumps.Level": {"v": 12, "q": "good", "t": ...}}}
// with the changed tags only ("historical": true on those kept while the broker was away); the
// node's state is <prefix> itself ({"online": true|false}, retained, false also as the will),
// a device's <prefix>/<device>/status; writes come on <prefix>/<device>/set as
// {"Pumps.Level": 5}. docs/mqtt.md has the schema.
#pragma once

#include "north/mqtt/PayloadFormat.h"
#include "north/mqtt/TagSet.h"

#include <memory>

namespace vorn::north::mqtt {

class JsonFormat : public PayloadFormat {
public:
    JsonFormat(std::shared_ptr<const TagSet> tags, std::string topicPrefix);

    OutgoingMessage death(const NodeState& node) override;
    std::vector<std::string> commandTopics() const override;
    OutgoingMessage nodeBirth(const NodeState& node) override;
    std::vector<OutgoingMessage> deviceBirth(uint32_t device,
                                             std::span<const TagState> tags) override;
    OutgoingMessage deviceDeath(uint32_t device, int64_t timeMs) override;
    OutgoingMessage deviceData(uint32_t device, std::span<const ChangeRecord> records,
                               bool historical) override;
    std::optional<Command> parseCommand(const std::string& topic, const std::string& payload,
                                        std::string& error) const override;

private:
    std::string deviceTopic(uint32_t device) const;

    std::shared_ptr<const TagSet> tags_;
    std::string prefix_;
};

// "good", "uncertain" or "bad".
const char* qualityWord(uint16_t quality);

} // namespace vorn::north::mqtt
