// One connection to the broker through libmosquitto (its own network thread): connect with the
// will, user, password and TLS of the settings, subscribe, publish, disconnect. What the network
// thread learns (connected, refused, lost, a message confirmed, a command received) is queued
// as events for the publisher's thread, which owns everything else. A connection is used once:
// after it ends the publisher makes a new one, so nothing left in the library's queues from the
// old one is sent before the next birth.
#pragma once

#include "north/mqtt/MqttSettings.h"
#include "north/mqtt/PayloadFormat.h"

#include <deque>
#include <mutex>
#include <string>

struct mosquitto;
struct mosquitto_message;

namespace vorn::north::mqtt {

struct BrokerEvent {
    enum class Kind { connected, refused, lost, confirmed, message };
    Kind kind = Kind::lost;
    int code = 0;      // refused: the CONNACK code; lost: libmosquitto's reason
    int messageId = 0; // confirmed
    std::string topic, payload, text;
};

class BrokerConnection {
public:
    // The library's process-wide set-up, once.
    static void initializeLibrary();

    explicit BrokerConnection(const MqttSettings& settings);
    ~BrokerConnection(); // disconnects and stops the network thread
    BrokerConnection(const BrokerConnection&) = delete;
    BrokerConnection& operator=(const BrokerConnection&) = delete;

    // Starts connecting; false (with the reason) when it cannot even start.
    bool connect(const OutgoingMessage& will, std::string& error);
    // Queues a message; the id to wait for in `confirmed` (QoS 1), or 0 when it was refused.
    int publish(const OutgoingMessage& message, int qos);
    bool subscribe(const std::string& topicFilter);
    // Sends `last` (the node's death, as a clean stop announces it) and disconnects.
    void disconnect(const OutgoingMessage* last);

    // Events since the last call, oldest first.
    std::deque<BrokerEvent> takeEvents();

private:
    static void onConnect(mosquitto*, void* self, int code);
    static void onDisconnect(mosquitto*, void* self, int code);
    static void onPublish(mosquitto*, void* self, int messageId);
    static void onMessage(mosquitto*, void* self, const mosquitto_message* message);
    void post(BrokerEvent event);

    const MqttSettings& settings_;
    mosquitto* mosq_ = nullptr;
    bool threadStarted_ = false;
    std::mutex mutex_;
    std::deque<BrokerEvent> events_;
};

} // namespace vorn::north::mqtt
