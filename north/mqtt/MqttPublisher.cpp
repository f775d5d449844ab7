#include "MqttPublisher.h"

#include "north/mqtt/JsonFormat.h"
#include "north/mqtt/SparkplugFormat.h"
#include "toolkit/SOCmnTrace.h"

#include <algorithm>

namespace vorn::north::mqtt {
namespace {

constexpr const char* kGroupName = "MQTT";
constexpr const char* kSpoolFileName = "store-and-forward.spool";
// A full buffer is said at most this often.
constexpr std::chrono::minutes kDropLineInterval{1};

std::string megabytes(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

} // namespace

MqttPublisher::MqttPublisher(SODaSEntry& entry, MqttSettings settings, PublisherInfo info)
    : entry_(entry), settings_(std::move(settings)), info_(std::move(info)) {
    // Ready for device events before the engine starts: a device failing at once is heard.
    std::vector<std::string> skipped;
    tags_ =
        std::make_shared<const TagSet>(TagSet::fromNameSpace(*entry_.getNameSpaceRoot(), skipped));
    for (const std::string& tag : skipped)
        getSOCmnTrace().trace(TraceLevel::warning, "MQT",
                              "tag " + tag + " is not published: its type has no MQTT form");
    inbox_ = std::make_unique<ChangeInbox>(tags_);
    if (settings_.payload == PayloadKind::sparkplugB)
        format_ = std::make_unique<SparkplugFormat>(tags_, settings_.groupId, settings_.edgeNodeId);
    else
        format_ = std::make_unique<JsonFormat>(tags_, settings_.topicPrefix);
    std::string spoolError;
    buffer_ = std::make_unique<StoreAndForward>(size_t{settings_.bufferMb} << 20,
                                                settings_.stateFolder / kSpoolFileName, spoolError);
    if (!spoolError.empty())
        say("MQTT: the store-and-forward file cannot be made (" + spoolError +
            "): changes are kept in memory only");
    status_.bufferCapacity = buffer_->capacity();
    deviceUp_.assign(tags_->devices().size(), true);
    hostKnowsUp_.assign(tags_->devices().size(), false);
}

MqttPublisher::~MqttPublisher() {
    stop();
}

void MqttPublisher::say(const std::string& line) {
    if (info_.statusLine)
        info_.statusLine(line);
}

void MqttPublisher::start() {
    // Every change from here on reaches the inbox; then the tags are asked for.
    if (settings_.mode == PublishMode::onChange)
        SODaSCache::setListener(inbox_.get());
    client_ = std::make_unique<DaClient>(entry_);
    group_ = client_->addGroup(kGroupName, settings_.updateRateMs);
    for (const PublishedTag& tag : tags_->tags())
        if (auto item = client_->addItem(*group_, tag.itemId))
            client_->setActive(*item, true);
    writer_ = std::make_unique<CommandWriter>(*client_, *inbox_, info_.writeTimeoutMs,
                                              [this](const std::string& line) { say(line); });
    started_ = true;
    thread_ = std::thread([this] { run(); });
}

void MqttPublisher::stop() {
    if (!started_)
        return;
    started_ = false;
    stopEvent_.set();
    thread_.join();
    if (settings_.mode == PublishMode::onChange)
        SODaSCache::setListener(nullptr);
    writer_.reset();
    if (group_) {
        client_->removeGroup(*group_);
        group_ = nullptr;
    }
    client_.reset();
}

void MqttPublisher::deviceState(const std::string& deviceName, bool up) {
    inbox_->deviceState(deviceName, up);
}

NodeState MqttPublisher::nodeState() const {
    return {bdSeq_, "running", info_.configurationWarnings};
}

void MqttPublisher::run() {
    while (!stopEvent_.isSet()) {
        if (!connection_ && Clock::now() >= nextAttempt_)
            connect();
        handleBrokerEvents();
        takeInbox();
        if (settings_.mode == PublishMode::interval && Clock::now() >= nextSnapshot_) {
            snapshotAll();
            nextSnapshot_ = Clock::now() + std::chrono::milliseconds(settings_.publishIntervalMs);
        }
        if (connected_) {
            if (birthPending_)
                publishBirths();
            sendFromBuffer();
        }
        updateStatus();
        stopEvent_.wait(kCycleMs);
    }
    if (connection_) {
        // A clean stop says goodbye itself: the broker discards the will then.
        const OutgoingMessage death = format_->death(nodeState());
        connection_->disconnect(connected_ ? &death : nullptr);
        connection_.reset();
    }
    connected_ = false;
    status_.connected = false;
}

void MqttPublisher::connect() {
    ++status_.connectAttempts;
    connection_ = std::make_unique<BrokerConnection>(settings_);
    std::string error;
    if (!connection_->connect(format_->death(nodeState()), error))
        connectionEnded(error);
}

void MqttPublisher::handleBrokerEvents() {
    if (!connection_)
        return;
    for (BrokerEvent& event : connection_->takeEvents()) {
        switch (event.kind) {
        case BrokerEvent::Kind::connected:
            connected_ = true;
            birthPending_ = true;
            retryDelay_ = kFirstRetry;
            lastRefusal_.clear();
            for (const std::string& filter : format_->commandTopics())
                connection_->subscribe(filter);
            say("MQTT: connected to " + settings_.broker.text + " as " + settings_.clientId);
            break;
        case BrokerEvent::Kind::refused:
            connectionEnded("the broker refused the connection (" + event.text + ")");
            return;
        case BrokerEvent::Kind::lost:
            connectionEnded(connected_ ? "connection lost: " + event.text
                                       : "no connection: " + event.text);
            return;
        case BrokerEvent::Kind::confirmed:
            for (Inflight& message : inflight_)
                if (message.messageId == event.messageId)
                    message.confirmed = true;
            while (!inflight_.empty() && inflight_.front().confirmed) {
                inflightValues_ -= inflight_.front().records.size();
                inflight_.pop_front();
            }
            break;
        case BrokerEvent::Kind::message:
            handleCommand(event.topic, event.payload);
            break;
        }
    }
}

void MqttPublisher::connectionEnded(const std::string& why) {
    // What the broker never confirmed goes back in front, to be sent after the next birth.
    std::vector<ChangeRecord> unconfirmed;
    for (Inflight& message : inflight_)
        for (ChangeRecord& record : message.records)
            unconfirmed.push_back(std::move(record));
    inflight_.clear();
    inflightValues_ = 0;
    buffer_->returnToFront(unconfirmed);
    connected_ = false;
    // The connection's network thread ends here, before a new one may start.
    connection_.reset();
    ++bdSeq_; // the next connection's will and birth carry the next number
    nextAttempt_ = Clock::now() + retryDelay_;
    // Each failure is said, with the wait before the next try; the same refusal again only
    // once the waits have reached their longest.
    const bool repeated = why == lastRefusal_;
    if (!repeated || retryDelay_ == kLastRetry)
        say("MQTT: " + settings_.broker.text + ": " + why + "; next try in " +
            std::to_string(retryDelay_.count() / 1000) + " s");
    lastRefusal_ = why;
    status_.setState(why);
    retryDelay_ = std::min(retryDelay_ * 2, kLastRetry);
}

void MqttPublisher::takeInbox() {
    for (ChangeRecord& record : inbox_->take()) {
        if (record.kind != ChangeRecord::Kind::value)
            deviceUp_[record.index] = record.kind == ChangeRecord::Kind::deviceUp;
        buffer_->push(record);
    }
    if (buffer_->takeDroppedEvent())
        birthPending_ = true; // the host may have missed a device's death or return
}

void MqttPublisher::snapshotAll() {
    for (uint32_t i = 0; i < tags_->tags().size(); ++i) {
        const CacheSnapshot state = tags_->tags()[i].tag->getCache()->snapshot();
        buffer_->push(
            {ChangeRecord::Kind::value, i, state.quality, unixMs(state.timestamp), state.value});
    }
}

void MqttPublisher::publishBirths() {
    birthPending_ = false;
    publish(format_->nodeBirth(nodeState()), {}, 0);
    for (uint32_t device = 0; device < tags_->devices().size(); ++device) {
        publishDeviceBirth(device);
        // A device that is down now is born with its last values, then declared dead.
        if (!deviceUp_[device]) {
            publish(format_->deviceDeath(device, unixMs(std::chrono::system_clock::now())), {}, 0);
            hostKnowsUp_[device] = false;
        }
    }
    // Everything waiting now was kept while the broker was away (or the host was not listening).
    historicalLeft_ = buffer_->count();
    status_.setState("connected");
}

void MqttPublisher::publishDeviceBirth(uint32_t device) {
    const PublishedDevice& d = tags_->devices()[device];
    std::vector<TagState> states;
    states.reserve(d.tagCount);
    for (uint32_t i = d.firstTag; i < d.firstTag + d.tagCount; ++i) {
        const CacheSnapshot state = tags_->tags()[i].tag->getCache()->snapshot();
        states.push_back({state.value, state.quality, unixMs(state.timestamp)});
    }
    for (OutgoingMessage& message : format_->deviceBirth(device, states))
        publish(message, {}, d.tagCount);
    hostKnowsUp_[device] = true;
}

void MqttPublisher::sendFromBuffer() {
    std::vector<std::vector<ChangeRecord>> perDevice(tags_->devices().size());
    std::vector<char> inBatch(tags_->tags().size(), 0);
    bool batchHistorical = false;
    size_t batched = 0;
    auto flush = [&] {
        for (const auto& records : perDevice)
            for (const ChangeRecord& r : records)
                inBatch[r.index] = 0;
        flushData(perDevice, batchHistorical); // empties perDevice
        batched = 0;
    };
    while (connected_ && inflight_.size() < kMaxInflight && inflightValues_ < kMaxInflightValues) {
        std::optional<ChangeRecord> record = buffer_->pop();
        if (!record)
            break;
        const bool historical = historicalLeft_ > 0;
        if (historical)
            --historicalLeft_;
        if (record->kind != ChangeRecord::Kind::value) {
            flush();
            sendEvent(*record, historical);
            continue;
        }
        const uint32_t device = tags_->tags()[record->index].device;
        // A device the host holds for dead gets its current values in its next birth.
        if (!historical && !hostKnowsUp_[device])
            continue;
        // A message holds each tag once, and history and live data apart.
        if (historical != batchHistorical || inBatch[record->index] ||
            batched >= kMaxValuesPerMessage)
            flush();
        batchHistorical = historical;
        inBatch[record->index] = 1;
        perDevice[device].push_back(std::move(*record));
        ++batched;
    }
    flush();
}

void MqttPublisher::flushData(std::vector<std::vector<ChangeRecord>>& perDevice, bool historical) {
    for (uint32_t device = 0; device < perDevice.size(); ++device) {
        std::vector<ChangeRecord>& records = perDevice[device];
        if (records.empty())
            continue;
        const size_t values = records.size();
        OutgoingMessage message = format_->deviceData(device, records, historical);
        publish(message, std::move(records), values);
        records = {};
    }
}

void MqttPublisher::sendEvent(const ChangeRecord& event, bool historical) {
    // Births restate every device after the broker was away: old events are history there.
    if (historical)
        return;
    const uint32_t device = event.index;
    if (event.kind == ChangeRecord::Kind::deviceDown && hostKnowsUp_[device]) {
        publish(format_->deviceDeath(device, event.timeMs), {event}, 0);
        hostKnowsUp_[device] = false;
    } else if (event.kind == ChangeRecord::Kind::deviceUp && !hostKnowsUp_[device]) {
        publishDeviceBirth(device);
    }
}

bool MqttPublisher::publish(const OutgoingMessage& message, std::vector<ChangeRecord> records,
                            size_t values) {
    const int id = connection_->publish(message, settings_.qos);
    inflightValues_ += records.size();
    // Refused by the library (id 0: the connection is going), it waits for the end of the
    // connection, which puts it back in the buffer.
    inflight_.push_back({id, false, std::move(records)});
    if (id == 0)
        return false;
    ++status_.publishedMessages;
    status_.publishedValues += values;
    return true;
}

void MqttPublisher::handleCommand(const std::string& topic, const std::string& payload) {
    std::string error;
    std::optional<Command> command = format_->parseCommand(topic, payload, error);
    if (!command) {
        say("MQTT: command on " + topic + " ignored: " + error);
        return;
    }
    if (command->kind == Command::Kind::rebirth) {
        say("MQTT: rebirth asked for on " + topic);
        birthPending_ = true;
        return;
    }
    for (const std::string& unknown : command->unknown)
        say("MQTT: write from " + topic + " refused: " + unknown + " names no tag of " +
            tags_->devices()[command->device].name + " (or its value has no usable type)");
    for (Command::Write& write : command->writes) {
        const PublishedTag& tag = tags_->tags()[write.tag];
        const std::string what = tag.itemId + " = " + write.value.toUtf8() + " from " + topic;
        if (!settings_.writes)
            say("MQTT: write " + what + " refused: writes from MQTT are off (MqttWrites)");
        else if (!tag.writable)
            say("MQTT: write " + what + " refused: the tag is read-only");
        else if (!writer_->enqueue({write.tag, tag.itemId, std::move(write.value), topic}))
            say("MQTT: write " + what + " refused: too many writes waiting");
    }
}

void MqttPublisher::updateStatus() {
    status_.connected = connected_;
    status_.bufferedRecords = buffer_->count();
    status_.bufferedBytes = buffer_->bytes();
    const uint64_t dropped = buffer_->droppedValues() + inbox_->dropped();
    status_.droppedValues = dropped;
    if (dropped != droppedSaid_ && Clock::now() >= nextDropLine_) {
        say("MQTT: store-and-forward buffer full (" + megabytes(buffer_->capacity()) +
            "): " + std::to_string(dropped) + " oldest changes dropped so far");
        droppedSaid_ = dropped;
        nextDropLine_ = Clock::now() + kDropLineInterval;
    }
}

} // namespace vorn::north::mqtt
