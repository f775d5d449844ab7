#include "JsonFormat.h"

#include "toolkit/Quality.h"

#include <chrono>
#include <nlohmann/json.hpp>

namespace vorn::north::mqtt {
namespace {

using nlohmann::json;

int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

json valueOf(const Variant& value) {
    if (value.isArray()) {
        json array = json::array();
        for (const Variant& element : value.elements())
            array.push_back(valueOf(element));
        return array;
    }
    switch (value.type()) {
    case VT_EMPTY:
        return nullptr;
    case VT_BOOL:
        return value.asBool();
    case VT_R4:
        return value.asFloat();
    case VT_R8:
        return value.asDouble();
    case VT_UI8:
        return value.asUInt64();
    case VT_BSTR:
        return value.toUtf8();
    default:
        return value.asInt64();
    }
}

json entryOf(const Variant& value, uint16_t quality, int64_t timeMs) {
    return {{"v", valueOf(value)}, {"q", qualityWord(quality)}, {"t", timeMs}};
}

std::string status(bool online, int64_t timeMs) {
    return json{{"online", online}, {"timestamp", timeMs}}.dump();
}

// A written value from JSON: numbers, booleans and text (converted to the tag's type later).
std::optional<Variant> writtenValue(const json& value) {
    if (value.is_boolean())
        return Variant::boolean(value.get<bool>());
    // Integers in the narrowest of Int32, UInt32, Int64 and UInt64 that holds them; the tag's
    // type change checks that they fit the tag. (An unsigned number is an integer too.)
    if (value.is_number_unsigned()) {
        const uint64_t n = value.get<uint64_t>();
        if (n <= INT32_MAX)
            return Variant::i4(static_cast<int32_t>(n));
        return n <= UINT32_MAX ? Variant::ui4(static_cast<uint32_t>(n)) : Variant::ui8(n);
    }
    if (value.is_number_integer()) {
        const int64_t n = value.get<int64_t>();
        return n >= INT32_MIN ? Variant::i4(static_cast<int32_t>(n)) : Variant::i8(n);
    }
    if (value.is_number_float())
        return Variant::r8(value.get<double>());
    if (value.is_string())
        return Variant::bstrFromUtf8(value.get<std::string>());
    return std::nullopt;
}

} // namespace

const char* qualityWord(uint16_t quality) {
    if (Quality::isGood(quality))
        return "good";
    return Quality::isUncertain(quality) ? "uncertain" : "bad";
}

JsonFormat::JsonFormat(std::shared_ptr<const TagSet> tags, std::string topicPrefix)
    : tags_(std::move(tags)), prefix_(std::move(topicPrefix)) {}

std::string JsonFormat::deviceTopic(uint32_t device) const {
    return prefix_ + "/" + topicLevel(tags_->devices().at(device).name);
}

OutgoingMessage JsonFormat::death(const NodeState&) {
    return {prefix_, status(false, nowMs()), true};
}

std::vector<std::string> JsonFormat::commandTopics() const {
    return {prefix_ + "/+/set"};
}

OutgoingMessage JsonFormat::nodeBirth(const NodeState&) {
    return {prefix_, status(true, nowMs()), true};
}

std::vector<OutgoingMessage> JsonFormat::deviceBirth(uint32_t device,
                                                     std::span<const TagState> states) {
    const PublishedDevice& d = tags_->devices().at(device);
    json values = json::object();
    int64_t newest = 0;
    for (uint32_t i = 0; i < d.tagCount && i < states.size(); ++i) {
        values[tags_->tags()[d.firstTag + i].jsonName] =
            entryOf(states[i].value, states[i].quality, states[i].timeMs);
        newest = std::max(newest, states[i].timeMs);
    }
    // A device that comes back says so on its status topic, and its values follow in full.
    return {{deviceTopic(device) + "/status", status(true, nowMs()), true},
            {deviceTopic(device), json{{"timestamp", newest}, {"values", values}}.dump(), false}};
}

OutgoingMessage JsonFormat::deviceDeath(uint32_t device, int64_t timeMs) {
    return {deviceTopic(device) + "/status", status(false, timeMs), true};
}

OutgoingMessage JsonFormat::deviceData(uint32_t device, std::span<const ChangeRecord> records,
                                       bool historical) {
    json values = json::object();
    int64_t newest = 0;
    for (const ChangeRecord& record : records) {
        values[tags_->tags().at(record.index).jsonName] =
            entryOf(record.value, record.quality, record.timeMs);
        newest = std::max(newest, record.timeMs);
    }
    json message{{"timestamp", newest}, {"values", values}};
    if (historical)
        message["historical"] = true;
    return {deviceTopic(device), message.dump(), false};
}

std::optional<Command> JsonFormat::parseCommand(const std::string& topic,
                                                const std::string& payload,
                                                std::string& error) const {
    const std::string suffix = "/set";
    if (topic.rfind(prefix_ + "/", 0) != 0 || topic.size() <= prefix_.size() + 1 + suffix.size() ||
        topic.compare(topic.size() - suffix.size(), suffix.size(), suffix) != 0) {
        error = "not a command topic of this node";
        return std::nullopt;
    }
    const std::string level =
        topic.substr(prefix_.size() + 1, topic.size() - prefix_.size() - 1 - suffix.size());
    Command command;
    int device = -1;
    for (size_t i = 0; i < tags_->devices().size(); ++i)
        if (topicLevel(tags_->devices()[i].name) == level)
            device = static_cast<int>(i);
    if (device < 0) {
        error = "no device " + level;
        return std::nullopt;
    }
    command.device = static_cast<uint32_t>(device);
    const json written = json::parse(payload, nullptr, false);
    if (!written.is_object()) {
        error = "not a JSON object of tag names and values";
        return std::nullopt;
    }
    for (const auto& [name, value] : written.items()) {
        const uint32_t tag = tags_->findJsonName(command.device, name);
        auto converted = writtenValue(value);
        if (tag == TagSet::kNoTag || !converted) {
            command.unknown.push_back(name);
            continue;
        }
        command.writes.push_back({tag, std::move(*converted)});
    }
    return command;
}

std::string topicLevel(const std::string& name) {
    std::string level = name;
    for (char& c : level)
        if (c == '/' || c == '+' || c == '#')
            c = '_';
    return level;
}

} // namespace vorn::north::mqtt
