#include "TcpServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace modbus_sim {
namespace {

constexpr int kListenBacklog = 16;
// A client that stops reading its answers must not stall the other clients for long.
constexpr timeval kSendTimeout{1, 0};

std::runtime_error systemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

} // namespace

TcpServer::TcpServer(const TcpEndpoint& endpoint, DeviceImage& image, const FaultSwitches& faults,
                     RequestLog& log)
    : image_(image), handler_(Transport::Tcp, image, faults, log) {
    try {
        for (int port : endpoint.ports)
            listenOn(endpoint.address, port);
    } catch (...) {
        for (int fd : listenFds_)
            ::close(fd);
        throw;
    }

    // The context only frames and answers requests; the sockets are ours.
    context_ = modbus_new_tcp(endpoint.address.c_str(), endpoint.ports.front());
    if (context_ == nullptr) {
        for (int fd : listenFds_)
            ::close(fd);
        throw systemError("modbus_new_tcp");
    }
}

void TcpServer::listenOn(const std::string& host, int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1)
        throw std::runtime_error("bad IPv4 address '" + host + "'");

    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        throw systemError("socket");
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, kListenBacklog) != 0) {
        auto error = systemError("cannot listen on " + host + ":" + std::to_string(port));
        ::close(fd);
        throw error;
    }
    listenFds_.push_back(fd);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    where_ += (where_.empty() ? host + ":" : ",") + std::to_string(ntohs(address.sin_port));
}

TcpServer::~TcpServer() {
    for (Link& client : clients_)
        ::close(client.fd);
    modbus_set_socket(context_, -1);
    modbus_free(context_);
    for (int fd : listenFds_)
        ::close(fd);
}

void TcpServer::run(Generators& generators, const ShutdownSignal& shutdown) {
    std::vector<pollfd> fds;
    while (!shutdown.requested()) {
        generators.update(image_, Clock::now());

        std::optional<Clock::time_point> deadline;
        auto wakeBy = [&](Clock::time_point when) {
            if (!deadline || when < *deadline)
                deadline = when;
        };
        if (!generators.empty())
            wakeBy(generators.nextUpdate());
        fds.clear();
        for (int fd : listenFds_)
            fds.push_back(pollfd{fd, POLLIN, 0});
        for (const Link& client : clients_) {
            fds.push_back(pollfd{client.fd, POLLIN, 0});
            if (auto due = handler_.nextDue(client))
                wakeBy(*due);
        }

        if (shutdown.wait(fds, deadline) < 0)
            throw systemError("poll");

        // The listening sockets come first, then clients_ in order; clients accepted below are
        // polled next round.
        const std::size_t listening = listenFds_.size();
        auto client = clients_.begin();
        for (std::size_t i = listening; i < fds.size(); ++i) {
            auto next = std::next(client);
            bool open = true;
            if (fds[i].revents != 0)
                open = receive(*client);
            if (open)
                open = handler_.answerDue(*client, Clock::now());
            if (!open) {
                close(*client);
                clients_.erase(client);
            }
            client = next;
        }
        for (std::size_t i = 0; i < listening; ++i)
            if (fds[i].revents & POLLIN)
                acceptClients(fds[i].fd);
    }
}

void TcpServer::acceptClients(int listenFd) {
    const std::size_t maxClients = kMaxClients * listenFds_.size();
    for (;;) {
        int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return; // EAGAIN: no more waiting; other errors are the client's loss
        if (clients_.size() >= maxClients) {
            std::fprintf(stderr, "modbus-sim: %zu clients connected already, refused one\n",
                         maxClients);
            ::close(fd);
            continue;
        }
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &kSendTimeout, sizeof kSendTimeout);
        clients_.push_back(Link{context_, fd, {}});
    }
}

bool TcpServer::receive(Link& client) {
    std::uint8_t request[MODBUS_TCP_MAX_ADU_LENGTH];
    modbus_set_socket(context_, client.fd);
    int length = modbus_receive(context_, request);
    if (length > 0)
        return handler_.take(client, request, length);
    if (length == 0)
        return true;
    // The peer closed, or sent bytes that are no Modbus request: the stream cannot be trusted
    // to be in step any more, so the connection ends (a real device does the same).
    if (errno != ECONNRESET)
        std::fprintf(stderr, "modbus-sim: closing a connection after a bad request: %s\n",
                     modbus_strerror(errno));
    return false;
}

void TcpServer::close(Link& client) {
    ::close(client.fd);
    client.fd = -1;
}

} // namespace modbus_sim
