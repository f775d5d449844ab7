// Sparkplug B: topics spBv1.0/<group>/<type>/<edge node>[/<device>], protobuf payloads
// (sparkplug_b.proto). NBIRTH with bdSeq, Node Control/Rebirth and the server's own metrics;
// DBIRTH with every tag by name and alias, its datatype and the properties Quality and
// engUnit; DDATA by alias with the poll's timestamp (Quality again when it changed); DDEATH;
// NDEATH as the will. seq runs 0..255 from each NBIRTH.
#pragma once

#include "north/mqtt/PayloadFormat.h"
#include "north/mqtt/TagSet.h"

#include <memory>

namespace vorn::north::mqtt {

class SparkplugFormat : public PayloadFormat {
public:
    static constexpr const char* kNamespace = "spBv1.0";
    static constexpr const char* kRebirthMetric = "Node Control/Rebirth";

    SparkplugFormat(std::shared_ptr<const TagSet> tags, std::string groupId,
                    std::string edgeNodeId);

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
    std::string topic(const char* type) const;
    std::string deviceTopic(const char* type, uint32_t device) const;
    uint64_t nextSeq();

    std::shared_ptr<const TagSet> tags_;
    std::string groupId_;
    std::string edgeNodeId_;
    uint64_t seq_ = 0;
    std::vector<uint16_t> sentQuality_; // per tag: the quality the host last heard
};

} // namespace vorn::north::mqtt
