#include "UaNetwork.h"

#include "toolkit/ua/UaIds.h"
#include "toolkit/ua/UaLimits.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace vorn::ua {
namespace {

constexpr size_t kReadSize = 65536;
// Longest the poll waits, so expired handshakes and tokens are noticed.
constexpr int kPollTimeoutMs = 200;

void setNonBlocking(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

} // namespace

UaNetwork::UaNetwork(RequestHandler onRequest, CloseHandler onClose,
                     const security::ServerSecurity* security, AdmissionChecks* admission)
    : onRequest_(std::move(onRequest)), onClose_(std::move(onClose)), security_(security),
      admission_(admission) {}

UaNetwork::~UaNetwork() {
    stop();
}

bool UaNetwork::listen(const std::string& address, uint16_t port, std::string* error) {
    auto fail = [&](const std::string& what) {
        if (error)
            *error = what + ": " + std::strerror(errno);
        if (listenFd_ >= 0)
            ::close(listenFd_);
        listenFd_ = -1;
        return false;
    };
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1) {
        errno = EINVAL;
        return fail("bad bind address " + address);
    }
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0)
        return fail("socket");
    int one = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return fail("bind to port " + std::to_string(port));
    if (::listen(listenFd_, 128) != 0)
        return fail("listen");
    socklen_t length = sizeof addr;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &length);
    port_ = ntohs(addr.sin_port);
    setNonBlocking(listenFd_);
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0)
        return fail("eventfd");
    return true;
}

void UaNetwork::start() {
    if (listenFd_ >= 0 && !thread_.joinable())
        thread_ = std::thread([this] { run(); });
}

void UaNetwork::stop() {
    stopping_.store(true);
    wake();
    if (thread_.joinable())
        thread_.join();
    std::vector<uint64_t> ids;
    {
        std::lock_guard lock(mutex_);
        for (auto& [id, c] : connections_) {
            // Last answers (BadShutdown for calls still waiting) go out if the socket takes them.
            (void)writeTo(*c);
            ids.push_back(id);
        }
    }
    for (uint64_t id : ids)
        closeConnection(id);
    if (listenFd_ >= 0)
        ::close(listenFd_);
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
    listenFd_ = wakeFd_ = -1;
}

void UaNetwork::wake() {
    if (wakeFd_ >= 0) {
        uint64_t one = 1;
        ssize_t written = ::write(wakeFd_, &one, sizeof one);
        (void)written;
    }
}

size_t UaNetwork::connectionCount() const {
    std::lock_guard lock(mutex_);
    return connections_.size();
}

void UaNetwork::sendResponse(uint64_t connectionId, uint32_t requestId, uint32_t typeId,
                             std::string body) {
    {
        std::lock_guard lock(mutex_);
        auto it = connections_.find(connectionId);
        if (it == connections_.end())
            return;
        Connection& c = *it->second;
        // What goes instead when the response is larger than the client takes.
        Decoder header(body);
        header.dateTime();
        uint32_t handle = header.u32();
        std::string fault = serviceFault(handle, Status::kBadResponseTooLarge);
        if (!c.channel.sendResponse(requestId, typeId, body, fault))
            c.closeAfterSend = true;
        c.sendBuffer += c.channel.takeOutput();
    }
    wake();
}

void UaNetwork::requestDone(uint64_t connectionId, size_t requestBytes) {
    {
        std::lock_guard lock(mutex_);
        queuedBytes_ -= std::min(queuedBytes_, requestBytes);
        auto it = connections_.find(connectionId);
        if (it != connections_.end()) {
            Connection& c = *it->second;
            c.queuedRequests -= std::min<size_t>(c.queuedRequests, 1);
            c.queuedBytes -= std::min(c.queuedBytes, requestBytes);
        }
    }
    wake();
}

void UaNetwork::enforceRequestBudget() {
    size_t assembling = 0;
    Connection* largest = nullptr;
    for (auto& [id, c] : connections_) {
        size_t held = c->channel.bufferedBytes();
        assembling += held;
        if (!largest || held > largest->channel.bufferedBytes())
            largest = c.get();
    }
    if (largest && assembling + queuedBytes_ > Limits::kMaxBufferedRequestBytes &&
        largest->channel.bufferedBytes() > 0) {
        largest->channel.fail(Status::kBadTcpNotEnoughResources, "server busy");
        largest->sendBuffer += largest->channel.takeOutput();
        largest->closeAfterSend = true;
    }
}

void UaNetwork::acceptAll() {
    while (true) {
        sockaddr_in peer{};
        socklen_t peerLength = sizeof peer;
        int fd = accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &peerLength,
                         SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        auto client = std::make_shared<ClientAddress>();
        char host[INET_ADDRSTRLEN] = "";
        if (inet_ntop(AF_INET, &peer.sin_addr, host, sizeof host))
            client->host = host;
        client->port = ntohs(peer.sin_port);
        std::lock_guard lock(mutex_);
        if (connections_.size() >= Limits::kMaxOpenChannels) {
            ::close(fd); // no room: the client learns it at once
            continue;
        }
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        uint64_t id = ++lastConnectionId_;
        connections_.emplace(id, std::make_unique<Connection>(fd, id, ++lastChannelId_, security_,
                                                              std::move(client)));
    }
}

bool UaNetwork::readFrom(Connection& c, std::vector<ServiceRequest>& requests) {
    char buffer[kReadSize];
    ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
    if (n == 0)
        return false;
    if (n < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    bool open = c.channel.receive(std::string_view(buffer, static_cast<size_t>(n)), requests);
    c.sendBuffer += c.channel.takeOutput();
    if (!open)
        c.closeAfterSend = true;
    else if (c.channel.isOpening())
        startOpenCheck(c, requests);
    return true;
}

void UaNetwork::takeRequests(Connection& c, std::vector<ServiceRequest>& requests) {
    c.queuedRequests += requests.size();
    for (ServiceRequest& request : requests) {
        request.client = c.client;
        queuedBytes_ += request.body.size();
        c.queuedBytes += request.body.size();
    }
}

void UaNetwork::startOpenCheck(Connection& c, std::vector<ServiceRequest>& requests) {
    std::shared_ptr<OpenCheck> check = c.channel.takeOpenCheck();
    if (!check)
        return;
    check->client = *c.client;
    if (!admission_) {
        check->run();
        if (!c.channel.finishOpen(*check, requests))
            c.closeAfterSend = true;
        c.sendBuffer += c.channel.takeOutput();
        return;
    }
    const uint64_t id = c.id;
    bool queued = admission_->submit(
        c.client->host,
        [check] {
            check->run();
            return AdmissionChecks::Outcome{AdmissionChecks::Clock::now(),
                                            Status::isBad(check->status)};
        },
        [this, id, check] { openChecked(id, check); });
    if (!queued) {
        c.channel.fail(Status::kBadTcpNotEnoughResources,
                       "too many OpenSecureChannel requests from this address");
        c.sendBuffer += c.channel.takeOutput();
        c.closeAfterSend = true;
    }
}

void UaNetwork::openChecked(uint64_t connectionId, const std::shared_ptr<OpenCheck>& check) {
    std::vector<ServiceRequest> requests;
    {
        std::lock_guard lock(mutex_);
        auto it = connections_.find(connectionId);
        if (it == connections_.end())
            return;
        Connection& c = *it->second;
        if (!c.channel.finishOpen(*check, requests))
            c.closeAfterSend = true;
        c.sendBuffer += c.channel.takeOutput();
        takeRequests(c, requests);
    }
    for (ServiceRequest& request : requests)
        onRequest_(connectionId, std::move(request));
    wake();
}

bool UaNetwork::writeTo(Connection& c) {
    while (!c.sendBuffer.empty()) {
        ssize_t n = ::send(c.fd, c.sendBuffer.data(), c.sendBuffer.size(), MSG_NOSIGNAL);
        if (n < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        c.sendBuffer.erase(0, static_cast<size_t>(n));
    }
    return !c.closeAfterSend;
}

void UaNetwork::closeConnection(uint64_t id) {
    {
        std::lock_guard lock(mutex_);
        auto it = connections_.find(id);
        if (it == connections_.end())
            return;
        ::close(it->second->fd);
        connections_.erase(it);
    }
    // Outside the lock: the session side takes its own.
    if (onClose_)
        onClose_(id);
}

void UaNetwork::run() {
    std::vector<pollfd> fds;
    std::vector<uint64_t> ids;
    while (!stopping_.load()) {
        fds.clear();
        ids.clear();
        fds.push_back({listenFd_, POLLIN, 0});
        fds.push_back({wakeFd_, POLLIN, 0});
        std::vector<uint64_t> toClose;
        {
            std::lock_guard lock(mutex_);
            enforceRequestBudget();
            const bool readable = queuedBytes_ < Limits::kMaxBufferedRequestBytes;
            size_t pendingSend = 0;
            for (auto& [id, c] : connections_)
                pendingSend += c->sendBuffer.size();
            auto now = SecureChannel::Clock::now();
            for (auto& [id, c] : connections_) {
                if (c->channel.isExpired(now) ||
                    c->sendBuffer.size() > Limits::kMaxPendingSendBytes) {
                    toClose.push_back(id);
                    continue;
                }
                // No connection holds more than its share of the request bytes, and clients
                // that do not read their answers send no more requests while the answers
                // waiting for all clients are over their budget.
                bool withinShare =
                    c->queuedBytes + c->channel.bufferedBytes() <
                        Limits::kMaxBufferedRequestBytesPerChannel &&
                    (pendingSend < Limits::kMaxPendingSendBytesTotal || c->sendBuffer.empty());
                short events = 0;
                if (readable && withinShare && !c->closeAfterSend && !c->channel.isOpening() &&
                    c->queuedRequests < Limits::kMaxQueuedRequestsPerChannel)
                    events |= POLLIN;
                if (!c->sendBuffer.empty() || c->closeAfterSend)
                    events |= POLLOUT;
                fds.push_back({c->fd, events, 0});
                ids.push_back(id);
            }
        }
        for (uint64_t id : toClose)
            closeConnection(id);
        if (poll(fds.data(), fds.size(), kPollTimeoutMs) < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN) {
            uint64_t count;
            ssize_t r = ::read(wakeFd_, &count, sizeof count);
            (void)r;
        }
        if (fds[0].revents & POLLIN)
            acceptAll();
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            std::vector<ServiceRequest> requests;
            bool keep = true;
            {
                std::lock_guard lock(mutex_);
                auto it = connections_.find(ids[i - 2]);
                if (it == connections_.end())
                    continue;
                Connection& c = *it->second;
                if (fds[i].revents & (POLLERR | POLLHUP | POLLNVAL) && !(fds[i].revents & POLLIN))
                    keep = false;
                if (keep && (fds[i].revents & POLLIN))
                    keep = readFrom(c, requests);
                takeRequests(c, requests);
                if (keep)
                    keep = writeTo(c);
            }
            for (ServiceRequest& request : requests)
                onRequest_(ids[i - 2], std::move(request));
            if (!keep)
                closeConnection(ids[i - 2]);
        }
    }
}

} // namespace vorn::ua
