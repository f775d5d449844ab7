// The opc.tcp sockets: one thread polls the listening socket and every connection
// (non-blocking), feeds received bytes to each connection's secure channel and writes what the
// channels have to send. Complete requests go to the request handler (the service threads);
// responses come back through sendResponse from any thread. A client that does not read its
// responses, or leaves a handshake unfinished, is disconnected; a connection with too many
// requests waiting is not read until they are served. The RSA work of a channel being issued
// runs on the admission checks' threads, bounded per client address; the connection is not
// read meanwhile.
#pragma once

#include "toolkit/ua/AdmissionChecks.h"
#include "toolkit/ua/SecureChannel.h"
#include "toolkit/ua/ServiceCall.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace vorn::ua {

class UaNetwork : public ResponseSink {
public:
    using RequestHandler = std::function<void(uint64_t connectionId, ServiceRequest request)>;
    using CloseHandler = std::function<void(uint64_t connectionId)>;

    // `security` (may be null: policy None only) and `admission` outlive the network; without
    // `admission` the RSA work of a channel being issued runs on the network thread.
    UaNetwork(RequestHandler onRequest, CloseHandler onClose,
              const security::ServerSecurity* security = nullptr,
              AdmissionChecks* admission = nullptr);
    ~UaNetwork() override;

    bool listen(const std::string& address, uint16_t port, std::string* error);
    uint16_t port() const { return port_; }
    void start();
    // Sends what is waiting for each client as far as its socket takes it without waiting,
    // closes every connection and the listening socket and joins the thread; idempotent.
    void stop();

    void sendResponse(uint64_t connectionId, uint32_t requestId, uint32_t typeId,
                      std::string body) override;
    // A request handed to the handler has been served (its connection may be read again).
    void requestDone(uint64_t connectionId, size_t requestBytes);
    size_t connectionCount() const;

private:
    struct Connection {
        Connection(int socket, uint64_t connectionId, uint32_t channelId,
                   const security::ServerSecurity* security,
                   std::shared_ptr<const ClientAddress> from)
            : fd(socket), id(connectionId), client(std::move(from)), channel(channelId, security) {}
        int fd;
        uint64_t id;
        std::shared_ptr<const ClientAddress> client;
        SecureChannel channel;
        std::string sendBuffer;
        size_t queuedRequests = 0;
        size_t queuedBytes = 0; // of requests handed to the handler and not yet served
        bool closeAfterSend = false;
    };

    void run();
    void acceptAll();
    // Under the lock: reads what the socket has; false when the connection is to close.
    bool readFrom(Connection& c, std::vector<ServiceRequest>& requests);
    bool writeTo(Connection& c);
    // Under the lock: counts complete requests against the connection's budget and tells
    // them where their client is.
    void takeRequests(Connection& c, std::vector<ServiceRequest>& requests);
    // Under the lock: hands the check of a channel being issued to the admission checks (or
    // runs it here without them).
    void startOpenCheck(Connection& c, std::vector<ServiceRequest>& requests);
    // The check has run (any thread): the channel answers the client and goes on.
    void openChecked(uint64_t connectionId, const std::shared_ptr<OpenCheck>& check);
    void closeConnection(uint64_t id);
    // Under the lock: keeps the bytes held for requests within their budget.
    void enforceRequestBudget();
    void wake();

    RequestHandler onRequest_;
    CloseHandler onClose_;
    const security::ServerSecurity* const security_;
    AdmissionChecks* const admission_;
    int listenFd_ = -1;
    int wakeFd_ = -1; // eventfd
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::map<uint64_t, std::unique_ptr<Connection>> connections_;
    size_t queuedBytes_ = 0; // requests handed to the handler and not yet served
    uint64_t lastConnectionId_ = 0;
    uint32_t lastChannelId_ = 0;
};

} // namespace vorn::ua
