#include "ScriptedPeer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace vorn::test {
namespace {

constexpr int pollSliceMs = 20; // how often the thread looks at the stop flag
constexpr size_t kMbapHeaderBytes = 7;

// A socket bound to 127.0.0.1 on a free port; throws when it cannot be made.
int boundLoopbackSocket(uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("bind on loopback failed");
    }
    port = ntohs(address.sin_port);
    return fd;
}

bool sendAll(int fd, const Bytes& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

ScriptedPeer::ScriptedPeer(Script script) : script_(std::move(script)) {
    listener_ = boundLoopbackSocket(port_);
    if (::listen(listener_, 4) != 0) {
        ::close(listener_);
        throw std::runtime_error("listen failed");
    }
    thread_ = std::thread([this] { run(); });
}

ScriptedPeer::~ScriptedPeer() {
    stopping_ = true;
    thread_.join();
    ::close(listener_);
}

std::vector<Bytes> ScriptedPeer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool ScriptedPeer::pauseFor(std::chrono::milliseconds pause) const {
    const auto until = std::chrono::steady_clock::now() + pause;
    while (std::chrono::steady_clock::now() < until) {
        if (stopping_)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return !stopping_;
}

void ScriptedPeer::run() {
    while (!stopping_) {
        pollfd entry{listener_, POLLIN, 0};
        if (::poll(&entry, 1, pollSliceMs) <= 0)
            continue;
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        ++connections_;
        const int noDelay = 1; // each scripted step leaves as a segment of its own
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
        serve(client);
    }
}

// One connection at a time, until the script or the client closes it.
void ScriptedPeer::serve(int client) {
    Bytes pending;
    bool open = true;
    while (open && !stopping_) {
        pollfd entry{client, POLLIN, 0};
        if (::poll(&entry, 1, pollSliceMs) <= 0)
            continue;
        uint8_t chunk[512];
        const ssize_t n = ::recv(client, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        pending.insert(pending.end(), chunk, chunk + n);
        while (open && pending.size() >= kMbapHeaderBytes) {
            const size_t frameBytes = 6 + (size_t{pending[4]} << 8 | pending[5]);
            if (pending.size() < frameBytes)
                break;
            const Bytes request(pending.begin(), pending.begin() + frameBytes);
            pending.erase(pending.begin(), pending.begin() + frameBytes);
            int number = 0;
            {
                std::lock_guard lock(mutex_);
                number = static_cast<int>(requests_.size());
                requests_.push_back(request);
            }
            for (const PeerStep& step : script_(request, number)) {
                if (!pauseFor(step.pause) || !sendAll(client, step.bytes) || step.closeAfter ||
                    step.resetAfter) {
                    if (step.resetAfter) {
                        const linger abort{1, 0}; // closing now sends RST
                        ::setsockopt(client, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
                    }
                    open = false;
                    break;
                }
            }
        }
    }
    ::close(client);
}

Bytes replyFrame(const Bytes& request, uint8_t unit, const Bytes& pdu) {
    const size_t length = pdu.size() + 1;
    Bytes frame{request.at(0),
                request.at(1),
                0,
                0,
                static_cast<uint8_t>(length >> 8),
                static_cast<uint8_t>(length & 0xFF),
                unit};
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    return frame;
}

Bytes readReplyPdu(uint8_t function, const Bytes& data) {
    Bytes pdu{function, static_cast<uint8_t>(data.size())};
    pdu.insert(pdu.end(), data.begin(), data.end());
    return pdu;
}

std::vector<PeerStep> trickled(const Bytes& bytes, std::chrono::milliseconds gap) {
    std::vector<PeerStep> steps;
    for (const uint8_t byte : bytes)
        steps.push_back(PeerStep{gap, Bytes{byte}});
    return steps;
}

RefusingPort::RefusingPort() {
    fd_ = boundLoopbackSocket(port_); // in the body: port_'s initializer would overwrite it
}

RefusingPort::~RefusingPort() {
    ::close(fd_);
}

UnansweredListener::UnansweredListener() {
    fd_ = boundLoopbackSocket(port_);
    if (::listen(fd_, 0) != 0) {
        ::close(fd_);
        throw std::runtime_error("listen failed");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port_);
    // A backlog of 0 holds one connection, and a few more wait half-open; once those are taken
    // the kernel drops further connection requests.
    for (int i = 0; i < 4; ++i) {
        const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (client < 0)
            break;
        ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
        queued_.push_back(client);
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // let the handshake settle
    }
}

UnansweredListener::~UnansweredListener() {
    for (const int client : queued_)
        ::close(client);
    ::close(fd_);
}

} // namespace vorn::test
