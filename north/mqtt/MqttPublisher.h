// Publishes every tag of the toolkit's name space to an MQTT broker, beside the OPC UA front and
// like one of its clients: one toolkit group polls the tags at the update rate, the caches hand
// each change to the inbox, and the publisher's own thread moves them through the
// store-and-forward buffer to the broker in the chosen payload format. A slow or absent broker
// only fills the buffer; polling and OPC UA never wait for it.
#pragma once

#include "north/mqtt/BrokerConnection.h"
#include "north/mqtt/ChangeInbox.h"
#include "north/mqtt/CommandWriter.h"
#include "north/mqtt/MqttSettings.h"
#include "north/mqtt/MqttStatus.h"
#include "north/mqtt/PayloadFormat.h"
#include "north/mqtt/StoreAndForward.h"
#include "north/mqtt/TagSet.h"
#include "platform/Event.h"
#include "toolkit/DaClient.h"
#include "toolkit/SODaSEntry.h"

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vorn::north::mqtt {

struct PublisherInfo {
    uint32_t configurationWarnings = 0; // skipped elements and warnings of the loaded file
    uint32_t writeTimeoutMs = 5000;     // a command's write waits for its device this long
    // Where status lines go (the servers: stderr, like the devices' own).
    std::function<void(const std::string&)> statusLine;
};

class MqttPublisher {
public:
    using Clock = std::chrono::steady_clock;
    // Messages and values published and not yet confirmed at most; then the buffer waits.
    static constexpr size_t kMaxInflight = 1000;
    static constexpr size_t kMaxInflightValues = 50000;
    // Values in one data message at most.
    static constexpr size_t kMaxValuesPerMessage = 2000;
    // Reconnection waits: doubling from the first to the last.
    static constexpr std::chrono::milliseconds kFirstRetry{1000}, kLastRetry{60000};
    // The longest the publisher's thread sleeps between looks at the inbox.
    static constexpr uint32_t kCycleMs = 20;

    // Takes the name space's tags (loaded by now) and makes the buffer; device events are
    // heard from here on.
    MqttPublisher(SODaSEntry& entry, MqttSettings settings, PublisherInfo info);
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // Asks for the tags to be polled, hears their changes and starts publishing.
    void start();
    // Says goodbye to the broker (the node's death), stops the threads and lets the tags go.
    void stop();

    // Any thread (the engine's outcome listener): a device failed or works again.
    void deviceState(const std::string& deviceName, bool up);

    const MqttStatus& status() const { return status_; }
    const MqttSettings& settings() const { return settings_; }
    const TagSet& tags() const { return *tags_; }

private:
    struct Inflight {
        int messageId = 0;
        bool confirmed = false;
        std::vector<ChangeRecord> records; // go back to the buffer if never confirmed
    };

    void run();
    void connect();
    void handleBrokerEvents();
    void connectionEnded(const std::string& why);
    void takeInbox();
    void snapshotAll();
    void publishBirths();
    void publishDeviceBirth(uint32_t device);
    void sendFromBuffer();
    void flushData(std::vector<std::vector<ChangeRecord>>& perDevice, bool historical);
    void sendEvent(const ChangeRecord& event, bool historical);
    bool publish(const OutgoingMessage& message, std::vector<ChangeRecord> records, size_t values);
    void handleCommand(const std::string& topic, const std::string& payload);
    void updateStatus();
    void say(const std::string& line);
    NodeState nodeState() const;

    SODaSEntry& entry_;
    const MqttSettings settings_;
    PublisherInfo info_;
    MqttStatus status_;

    std::shared_ptr<const TagSet> tags_;
    std::unique_ptr<ChangeInbox> inbox_;
    std::unique_ptr<PayloadFormat> format_;
    std::unique_ptr<StoreAndForward> buffer_;
    std::unique_ptr<DaClient> client_;
    SOCmnPointer<SODaSGroup> group_;
    std::unique_ptr<CommandWriter> writer_;

    // The publisher's thread owns everything below.
    std::unique_ptr<BrokerConnection> connection_;
    bool connected_ = false;
    bool birthPending_ = false;
    uint64_t bdSeq_ = 0;
    Clock::time_point nextAttempt_{};
    std::chrono::milliseconds retryDelay_ = kFirstRetry;
    std::deque<Inflight> inflight_;
    size_t inflightValues_ = 0;
    size_t historicalLeft_ = 0;     // records at the buffer's front kept while the broker was away
    std::vector<bool> deviceUp_;    // as the latest events say
    std::vector<bool> hostKnowsUp_; // as the broker was last told
    Clock::time_point nextSnapshot_{};
    uint64_t droppedSaid_ = 0;
    Clock::time_point nextDropLine_{};
    std::string lastRefusal_;

    Event stopEvent_{Event::Reset::manual};
    std::thread thread_;
    bool started_ = false;
};

} // namespace vorn::north::mqtt
