#include "BrokerConnection.h"

#include <cerrno>
#include <cstring>
#include <mosquitto.h>

namespace vorn::north::mqtt {
namespace {

constexpr int kKeepAliveSeconds = 30;
// Messages the library sends before it waits for confirmations; the publisher keeps as many
// in flight.
constexpr int kLibraryInflight = 100;
constexpr const char* kSystemCertificates = "/etc/ssl/certs";

// "not authorised" from the library's "Connection Refused: not authorised.".
std::string refusalText(int code) {
    std::string text = mosquitto_connack_string(code);
    const std::string prefix = "Connection Refused: ";
    if (text.rfind(prefix, 0) == 0)
        text.erase(0, prefix.size());
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    return text + ", code " + std::to_string(code);
}

BrokerEvent event(BrokerEvent::Kind kind, int code = 0, std::string text = {}) {
    BrokerEvent e;
    e.kind = kind;
    e.code = code;
    e.text = std::move(text);
    return e;
}

} // namespace

void BrokerConnection::initializeLibrary() {
    static const bool once = [] {
        mosquitto_lib_init();
        return true;
    }();
    (void)once;
}

BrokerConnection::BrokerConnection(const MqttSettings& settings) : settings_(settings) {
    initializeLibrary();
    // Sparkplug B asks for a clean session: a host must not get an old session's messages.
    mosq_ = mosquitto_new(settings_.clientId.c_str(), true, this);
    if (!mosq_)
        return;
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_int_option(mosq_, MOSQ_OPT_SEND_MAXIMUM, kLibraryInflight);
    mosquitto_max_inflight_messages_set(mosq_, kLibraryInflight);
    mosquitto_connect_callback_set(mosq_, onConnect);
    mosquitto_disconnect_callback_set(mosq_, onDisconnect);
    mosquitto_publish_callback_set(mosq_, onPublish);
    mosquitto_message_callback_set(mosq_, onMessage);
}

BrokerConnection::~BrokerConnection() {
    if (!mosq_)
        return;
    if (threadStarted_) {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, false);
    }
    mosquitto_destroy(mosq_);
}

bool BrokerConnection::connect(const OutgoingMessage& will, std::string& error) {
    if (!mosq_) {
        error = "the MQTT library could not make a client";
        return false;
    }
    int rc = mosquitto_will_set(mosq_, will.topic.c_str(), static_cast<int>(will.payload.size()),
                                will.payload.data(), 1, will.retain);
    if (rc == MOSQ_ERR_SUCCESS && !settings_.user.empty())
        rc = mosquitto_username_pw_set(mosq_, settings_.user.c_str(), settings_.password.c_str());
    if (rc == MOSQ_ERR_SUCCESS && settings_.broker.tls) {
        const char* caFile = settings_.caFile.empty() ? nullptr : settings_.caFile.c_str();
        rc = mosquitto_tls_set(mosq_, caFile, caFile ? nullptr : kSystemCertificates,
                               settings_.certFile.empty() ? nullptr : settings_.certFile.c_str(),
                               settings_.keyFile.empty() ? nullptr : settings_.keyFile.c_str(),
                               nullptr);
        if (rc == MOSQ_ERR_SUCCESS)
            rc = mosquitto_tls_opts_set(mosq_, 1 /* verify the broker */, nullptr, nullptr);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        error = mosquitto_strerror(rc);
        return false;
    }
    rc = mosquitto_connect_async(mosq_, settings_.broker.host.c_str(), settings_.broker.port,
                                 kKeepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        error = rc == MOSQ_ERR_ERRNO ? std::string(std::strerror(errno)) : mosquitto_strerror(rc);
        return false;
    }
    rc = mosquitto_loop_start(mosq_);
    if (rc != MOSQ_ERR_SUCCESS) {
        error = mosquitto_strerror(rc);
        return false;
    }
    threadStarted_ = true;
    return true;
}

int BrokerConnection::publish(const OutgoingMessage& message, int qos) {
    int id = 0;
    const int rc = mosquitto_publish(mosq_, &id, message.topic.c_str(),
                                     static_cast<int>(message.payload.size()),
                                     message.payload.data(), qos, message.retain);
    return rc == MOSQ_ERR_SUCCESS ? id : 0;
}

bool BrokerConnection::subscribe(const std::string& topicFilter) {
    return mosquitto_subscribe(mosq_, nullptr, topicFilter.c_str(), 1) == MOSQ_ERR_SUCCESS;
}

void BrokerConnection::disconnect(const OutgoingMessage* last) {
    if (!threadStarted_)
        return;
    if (last)
        mosquitto_publish(mosq_, nullptr, last->topic.c_str(),
                          static_cast<int>(last->payload.size()), last->payload.data(), 0,
                          last->retain);
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, false);
    threadStarted_ = false;
}

std::deque<BrokerEvent> BrokerConnection::takeEvents() {
    std::deque<BrokerEvent> taken;
    std::lock_guard lock(mutex_);
    taken.swap(events_);
    return taken;
}

void BrokerConnection::post(BrokerEvent event) {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
}

void BrokerConnection::onConnect(mosquitto*, void* self, int code) {
    auto* connection = static_cast<BrokerConnection*>(self);
    if (code == 0)
        connection->post(event(BrokerEvent::Kind::connected));
    else
        connection->post(event(BrokerEvent::Kind::refused, code, refusalText(code)));
}

void BrokerConnection::onDisconnect(mosquitto*, void* self, int code) {
    static_cast<BrokerConnection*>(self)->post(
        event(BrokerEvent::Kind::lost, code, mosquitto_strerror(code)));
}

void BrokerConnection::onPublish(mosquitto*, void* self, int messageId) {
    BrokerEvent confirmed = event(BrokerEvent::Kind::confirmed);
    confirmed.messageId = messageId;
    static_cast<BrokerConnection*>(self)->post(std::move(confirmed));
}

void BrokerConnection::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
    BrokerEvent received = event(BrokerEvent::Kind::message);
    received.topic = message->topic ? message->topic : "";
    if (message->payload && message->payloadlen > 0)
        received.payload.assign(static_cast<const char*>(message->payload),
                                static_cast<size_t>(message->payloadlen));
    static_cast<BrokerConnection*>(self)->post(std::move(received));
}

} // namespace vorn::north::mqtt
