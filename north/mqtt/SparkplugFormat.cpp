#include "SparkplugFormat.h"

#include "north/mqtt/sparkplug_b.pb.h"
#include "toolkit/Quality.h"

#include <chrono>
#include <cstring>

namespace vorn::north::mqtt {
namespace {

using Payload = org::eclipse::tahu::protobuf::Payload;
using Metric = org::eclipse::tahu::protobuf::Payload_Metric;

int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

template <class T> void appendLittleEndian(std::string& out, T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T)); // x86-64 and every target Debian builds for here
    out.append(bytes, sizeof(T));
}

// Sparkplug B 3.0 arrays: numbers packed little-endian; booleans as a 4-byte count and bits
// from the high bit of each byte; strings each ended by a zero byte.
std::string packArray(const Variant& value, const DataTypeRow& type) {
    std::string out;
    const VARTYPE element = value.elementType();
    if (element == VT_BOOL) {
        appendLittleEndian<uint32_t>(out, static_cast<uint32_t>(value.size()));
        out.append((value.size() + 7) / 8, '\0');
        for (size_t i = 0; i < value.size(); ++i)
            if (value.at(i).asBool())
                out[4 + i / 8] = static_cast<char>(out[4 + i / 8] | (0x80 >> (i % 8)));
        return out;
    }
    for (const Variant& e : value.elements()) {
        if (element == VT_BSTR) {
            out += e.toUtf8();
            out += '\0';
        } else if (element == VT_R4) {
            appendLittleEndian<float>(out, e.asFloat());
        } else if (element == VT_R8) {
            appendLittleEndian<double>(out, e.asDouble());
        } else if (type.elementBytes == 8) {
            appendLittleEndian<uint64_t>(out, e.asUInt64());
        } else if (type.elementBytes == 1) {
            appendLittleEndian<uint8_t>(out, static_cast<uint8_t>(e.asInt64()));
        } else if (type.elementBytes == 2) {
            appendLittleEndian<uint16_t>(out, static_cast<uint16_t>(e.asInt64()));
        } else {
            appendLittleEndian<uint32_t>(out, static_cast<uint32_t>(e.asInt64()));
        }
    }
    return out;
}

void setValue(Metric& metric, const Variant& value, const DataTypeRow& type) {
    if (value.isEmpty() || value.type() != type.nativeType) {
        metric.set_is_null(true); // a cache that holds a quality only
        return;
    }
    switch (type.field) {
    case ValueField::intValue:
        // Signed types travel as their two's complement in the unsigned 32-bit field.
        metric.set_int_value(static_cast<uint32_t>(value.asInt64()));
        break;
    case ValueField::longValue:
        metric.set_long_value(static_cast<uint64_t>(value.asInt64()));
        break;
    case ValueField::floatValue:
        metric.set_float_value(value.asFloat());
        break;
    case ValueField::doubleValue:
        metric.set_double_value(value.asDouble());
        break;
    case ValueField::booleanValue:
        metric.set_boolean_value(value.asBool());
        break;
    case ValueField::stringValue:
        metric.set_string_value(value.toUtf8());
        break;
    case ValueField::bytesValue:
        metric.set_bytes_value(packArray(value, type));
        break;
    }
}

void addQuality(Metric& metric, uint16_t quality) {
    auto* properties = metric.mutable_properties();
    properties->add_keys("Quality");
    auto* property = properties->add_values();
    property->set_type(SparkplugType::kInt32);
    property->set_int_value(quality);
}

void addNodeMetric(Payload& payload, const char* name, uint32_t type, int64_t timeMs) {
    Metric* metric = payload.add_metrics();
    metric->set_name(name);
    metric->set_timestamp(static_cast<uint64_t>(timeMs));
    metric->set_datatype(type);
}

// A written value from a command metric, by the field its datatype puts it in.
std::optional<Variant> commandValue(const Metric& metric) {
    switch (metric.value_case()) {
    case Metric::kIntValue: {
        const uint32_t raw = metric.int_value();
        const uint32_t type = metric.datatype();
        // Signed types come as their two's complement.
        if (type == SparkplugType::kInt8 || type == SparkplugType::kInt16 ||
            type == SparkplugType::kInt32)
            return Variant::i4(static_cast<int32_t>(raw));
        return raw <= INT32_MAX ? Variant::i4(static_cast<int32_t>(raw)) : Variant::ui4(raw);
    }
    case Metric::kLongValue: {
        const uint64_t raw = metric.long_value();
        const auto signedRaw = static_cast<int64_t>(raw);
        if (metric.datatype() == SparkplugType::kInt64)
            return signedRaw >= INT32_MIN && signedRaw <= INT32_MAX
                       ? Variant::i4(static_cast<int32_t>(signedRaw))
                       : Variant::i8(signedRaw);
        if (raw <= UINT32_MAX)
            return Variant::ui4(static_cast<uint32_t>(raw));
        return Variant::ui8(raw); // the tag's type change checks that it fits
    }
    case Metric::kFloatValue:
        return Variant::r4(metric.float_value());
    case Metric::kDoubleValue:
        return Variant::r8(metric.double_value());
    case Metric::kBooleanValue:
        return Variant::boolean(metric.boolean_value());
    case Metric::kStringValue:
        return Variant::bstrFromUtf8(metric.string_value());
    default:
        return std::nullopt;
    }
}

} // namespace

SparkplugFormat::SparkplugFormat(std::shared_ptr<const TagSet> tags, std::string groupId,
                                 std::string edgeNodeId)
    : tags_(std::move(tags)), groupId_(std::move(groupId)), edgeNodeId_(std::move(edgeNodeId)),
      sentQuality_(tags_->tags().size(), 0) {}

std::string SparkplugFormat::topic(const char* type) const {
    return std::string(kNamespace) + "/" + groupId_ + "/" + type + "/" + edgeNodeId_;
}

std::string SparkplugFormat::deviceTopic(const char* type, uint32_t device) const {
    return topic(type) + "/" + topicLevel(tags_->devices().at(device).name);
}

uint64_t SparkplugFormat::nextSeq() {
    const uint64_t seq = seq_;
    seq_ = (seq_ + 1) % 256;
    return seq;
}

OutgoingMessage SparkplugFormat::death(const NodeState& node) {
    Payload payload;
    const int64_t now = nowMs();
    payload.set_timestamp(static_cast<uint64_t>(now));
    addNodeMetric(payload, "bdSeq", SparkplugType::kUInt64, now);
    payload.mutable_metrics(0)->set_long_value(node.bdSeq);
    return {topic("NDEATH"), payload.SerializeAsString(), false};
}

std::vector<std::string> SparkplugFormat::commandTopics() const {
    return {topic("NCMD"), topic("DCMD") + "/+"};
}

OutgoingMessage SparkplugFormat::nodeBirth(const NodeState& node) {
    seq_ = 0;
    std::fill(sentQuality_.begin(), sentQuality_.end(), 0);
    Payload payload;
    const int64_t now = nowMs();
    payload.set_timestamp(static_cast<uint64_t>(now));
    payload.set_seq(nextSeq());
    addNodeMetric(payload, "bdSeq", SparkplugType::kUInt64, now);
    payload.mutable_metrics(0)->set_long_value(node.bdSeq);
    addNodeMetric(payload, kRebirthMetric, SparkplugType::kBoolean, now);
    payload.mutable_metrics(1)->set_boolean_value(false);
    addNodeMetric(payload, "Server/State", SparkplugType::kString, now);
    payload.mutable_metrics(2)->set_string_value(node.serverState);
    addNodeMetric(payload, "Server/Configuration Warnings", SparkplugType::kUInt32, now);
    payload.mutable_metrics(3)->set_long_value(node.configurationWarnings);
    return {topic("NBIRTH"), payload.SerializeAsString(), false};
}

std::vector<OutgoingMessage> SparkplugFormat::deviceBirth(uint32_t device,
                                                          std::span<const TagState> states) {
    const PublishedDevice& d = tags_->devices().at(device);
    Payload payload;
    payload.set_timestamp(static_cast<uint64_t>(nowMs()));
    payload.set_seq(nextSeq());
    for (uint32_t i = 0; i < d.tagCount && i < states.size(); ++i) {
        const PublishedTag& tag = tags_->tags()[d.firstTag + i];
        const TagState& state = states[i];
        Metric* metric = payload.add_metrics();
        metric->set_name(tag.metricName);
        metric->set_alias(tag.alias);
        metric->set_timestamp(static_cast<uint64_t>(state.timeMs));
        metric->set_datatype(tag.type->sparkplugType);
        setValue(*metric, state.value, *tag.type);
        addQuality(*metric, state.quality);
        if (!tag.engineeringUnit.empty()) {
            auto* properties = metric->mutable_properties();
            properties->add_keys("engUnit");
            auto* unit = properties->add_values();
            unit->set_type(SparkplugType::kString);
            unit->set_string_value(tag.engineeringUnit);
        }
        sentQuality_[d.firstTag + i] = state.quality;
    }
    return {{deviceTopic("DBIRTH", device), payload.SerializeAsString(), false}};
}

OutgoingMessage SparkplugFormat::deviceDeath(uint32_t device, int64_t timeMs) {
    Payload payload;
    payload.set_timestamp(static_cast<uint64_t>(timeMs));
    payload.set_seq(nextSeq());
    return {deviceTopic("DDEATH", device), payload.SerializeAsString(), false};
}

OutgoingMessage SparkplugFormat::deviceData(uint32_t device, std::span<const ChangeRecord> records,
                                            bool historical) {
    Payload payload;
    payload.set_timestamp(static_cast<uint64_t>(nowMs()));
    payload.set_seq(nextSeq());
    for (const ChangeRecord& record : records) {
        const PublishedTag& tag = tags_->tags().at(record.index);
        Metric* metric = payload.add_metrics();
        metric->set_alias(tag.alias);
        metric->set_timestamp(static_cast<uint64_t>(record.timeMs));
        metric->set_datatype(tag.type->sparkplugType);
        if (historical)
            metric->set_is_historical(true);
        setValue(*metric, record.value, *tag.type);
        if (sentQuality_[record.index] != record.quality) {
            addQuality(*metric, record.quality);
            sentQuality_[record.index] = record.quality;
        }
    }
    return {deviceTopic("DDATA", device), payload.SerializeAsString(), false};
}

std::optional<Command> SparkplugFormat::parseCommand(const std::string& topicName,
                                                     const std::string& bytes,
                                                     std::string& error) const {
    Payload payload;
    if (!payload.ParseFromString(bytes)) {
        error = "not a Sparkplug B payload";
        return std::nullopt;
    }
    Command command;
    if (topicName == topic("NCMD")) {
        for (const Metric& metric : payload.metrics())
            if (metric.name() == kRebirthMetric && metric.value_case() == Metric::kBooleanValue &&
                metric.boolean_value()) {
                command.kind = Command::Kind::rebirth;
                return command;
            }
        error = "an NCMD without " + std::string(kRebirthMetric) + " = true";
        return std::nullopt;
    }
    const std::string prefix = topic("DCMD") + "/";
    if (topicName.rfind(prefix, 0) != 0) {
        error = "not a command topic of this node";
        return std::nullopt;
    }
    const std::string deviceLevel = topicName.substr(prefix.size());
    int device = -1;
    for (size_t i = 0; i < tags_->devices().size(); ++i)
        if (topicLevel(tags_->devices()[i].name) == deviceLevel)
            device = static_cast<int>(i);
    if (device < 0) {
        error = "no device " + deviceLevel;
        return std::nullopt;
    }
    command.device = static_cast<uint32_t>(device);
    for (const Metric& metric : payload.metrics()) {
        const uint32_t tag = tags_->findMetric(command.device, metric.name(),
                                               metric.has_alias() ? metric.alias() : 0);
        auto value = commandValue(metric);
        if (tag == TagSet::kNoTag || !value) {
            command.unknown.push_back(metric.has_alias() ? "alias " + std::to_string(metric.alias())
                                                         : metric.name());
            continue;
        }
        command.writes.push_back({tag, std::move(*value)});
    }
    return command;
}

} // namespace vorn::north::mqtt
