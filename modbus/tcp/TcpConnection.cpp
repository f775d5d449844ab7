#include "TcpConnection.h"

#include "modbus/ErrorCodes.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <climits>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace vorn::modbus {
namespace {

using Clock = std::chrono::steady_clock;

// One read takes at most this much; a reply is assembled from as many reads as it needs.
constexpr size_t kReceiveChunkBytes = 256;
// Bytes nobody asked for are read away before a request, but not without end: a device that
// keeps streaming more than this is out of step and its connection is closed.
constexpr int kMaxDiscardReads = 64;

// Errors after which the connection is of no further use.
bool isConnectionLoss(int error) {
    switch (error) {
    case ENETDOWN:
    case ENETRESET:
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ECONNABORTED:
    case ECONNRESET:
    case ENOTCONN:
    case ETIMEDOUT:
    case EPIPE:
        return true;
    default:
        return false;
    }
}

int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

// Waits until `events` are signalled on `fd` or the deadline passes: 1 ready, 0 timeout (also
// when the server stops), -1 poll failed (errno says why).
int waitFor(int fd, short events, Clock::time_point deadline, const StopSignal* stop) {
    for (;;) {
        pollfd entries[2] = {{fd, events, 0}, {stop ? stop->fd() : -1, POLLIN, 0}};
        const int ready = ::poll(entries, 2, remainingMs(deadline));
        if (ready >= 0)
            return ready > 0 && entries[1].revents == 0 ? 1 : 0;
        if (errno != EINTR)
            return -1;
    }
}

// 0, or 50 for an option the socket refuses as invalid, else 32.
int setOption(int fd, int level, int name, int value) {
    if (::setsockopt(fd, level, name, &value, sizeof value) == 0)
        return ErrorCode::kSuccess;
    return errno == EINVAL || errno == ENOPROTOOPT ? ErrorCode::kInvalidSocketArgument
                                                   : ErrorCode::kConnectFailed;
}

int connectErrorCode(int error) {
    return error == EADDRNOTAVAIL ? ErrorCode::kAddressNotAvailable : ErrorCode::kConnectFailed;
}

// Connects the non-blocking socket within the connect wait; 0 or an error code.
int connectWithin(int fd, const sockaddr_in& peer, std::chrono::milliseconds wait,
                  const StopSignal* stop) {
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0)
        return ErrorCode::kSuccess;
    if (errno != EINPROGRESS && errno != EINTR)
        return connectErrorCode(errno);
    const int ready = waitFor(fd, POLLOUT, Clock::now() + wait, stop);
    if (ready == 0)
        return ErrorCode::kConnectFailed;
    if (ready < 0)
        return ErrorCode::kSocketResources;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return ErrorCode::kSocketResources;
    return error == 0 ? ErrorCode::kSuccess : connectErrorCode(error);
}

} // namespace

TcpConnection::~TcpConnection() {
    close();
}

TcpConnection::TcpConnection(TcpConnection&& other) noexcept
    : stop_(other.stop_), fd_(std::exchange(other.fd_, -1)), assembler_(other.assembler_) {}

TcpConnection& TcpConnection::operator=(TcpConnection&& other) noexcept {
    if (this != &other) {
        close();
        stop_ = other.stop_;
        fd_ = std::exchange(other.fd_, -1);
        assembler_ = other.assembler_;
    }
    return *this;
}

int TcpConnection::open(const std::string& address, uint16_t port) {
    close();
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    // The classic IPv4 text reading ("127.0.0.001", "10.000.000.005" and a trailing blank
    // work, as they always have), never a host name: a lookup could block without bound.
    if (::inet_aton(address.c_str(), &peer.sin_addr) == 0)
        return ErrorCode::kAddressNotAvailable;

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0)
        return ErrorCode::kSocketResources;
    int code = setOption(fd, SOL_SOCKET, SO_RCVBUF, kSocketBufferBytes);
    if (code == ErrorCode::kSuccess)
        code = setOption(fd, SOL_SOCKET, SO_SNDBUF, kSocketBufferBytes);
    if (code == ErrorCode::kSuccess) // requests are small and each waits for its reply
        code = setOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
    if (code == ErrorCode::kSuccess)
        code = connectWithin(fd, peer, kConnectWait, stop_);
    if (code != ErrorCode::kSuccess) {
        ::close(fd);
        return code;
    }
    fd_ = fd;
    assembler_.reset();
    return ErrorCode::kSuccess;
}

void TcpConnection::close() {
    if (fd_ < 0)
        return;
    ::shutdown(fd_, SHUT_WR);
    ::close(fd_);
    fd_ = -1;
    assembler_.reset();
}

int TcpConnection::exchange(std::span<const uint8_t> frame, uint16_t transactionId, uint8_t unitId,
                            std::chrono::milliseconds timeout, std::vector<uint8_t>& replyPdu) {
    replyPdu.clear();
    if (!isOpen())
        return ErrorCode::kNotConnected;
    const auto deadline = Clock::now() + timeout;
    if (const int code = discardWaitingBytes(); code != ErrorCode::kSuccess)
        return code;
    assembler_.expect(transactionId, unitId);
    if (const int code = sendFrame(frame, deadline); code != ErrorCode::kSuccess)
        return code;
    return receiveReply(deadline, replyPdu);
}

// Bytes already waiting answer nothing we are about to ask: late replies to requests that timed
// out. They go through the assembler, so that a frame cut by the read is still dropped whole.
int TcpConnection::discardWaitingBytes() {
    std::array<uint8_t, kReceiveChunkBytes> chunk{};
    for (int reads = 0; reads < kMaxDiscardReads; ++reads) {
        const ssize_t received = ::recv(fd_, chunk.data(), chunk.size(), MSG_DONTWAIT);
        if (received > 0) {
            assembler_.feed(std::span<const uint8_t>(chunk.data(), static_cast<size_t>(received)));
            if (assembler_.streamLost()) {
                close();
                return ErrorCode::kMalformedReply;
            }
            continue;
        }
        if (received == 0) { // the device closed the connection while idle
            close();
            return ErrorCode::kConnectionLost;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return ErrorCode::kSuccess;
        return receiveError(errno);
    }
    close();
    return ErrorCode::kMalformedReply;
}

int TcpConnection::sendFrame(std::span<const uint8_t> frame, Clock::time_point deadline) {
    size_t sent = 0;
    int code = ErrorCode::kSendFailed; // unless the whole frame goes out
    while (sent < frame.size()) {
        const ssize_t result = ::send(fd_, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
        if (result > 0) {
            sent += static_cast<size_t>(result);
            continue;
        }
        if (result < 0 && errno == EINTR)
            continue;
        if (result < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (Clock::now() < deadline && waitFor(fd_, POLLOUT, deadline, stop_) > 0)
                continue;
            break; // the device takes no more bytes: a short send
        }
        if (result < 0 && isConnectionLoss(errno)) {
            close();
            return ErrorCode::kConnectionLost;
        }
        if (result < 0 && errno == EMSGSIZE)
            code = ErrorCode::kMalformedReply;
        break;
    }
    if (sent == frame.size())
        return ErrorCode::kSuccess;
    // Part of a frame on the wire would make the device read the next request out of step.
    if (sent > 0)
        close();
    return code;
}

int TcpConnection::receiveReply(Clock::time_point deadline, std::vector<uint8_t>& replyPdu) {
    std::array<uint8_t, kReceiveChunkBytes> chunk{};
    for (;;) {
        // Checked before every wait: a device that keeps sending other frames still times out.
        if (Clock::now() >= deadline)
            return ErrorCode::kNoReply;
        const int ready = waitFor(fd_, POLLIN, deadline, stop_);
        if (ready == 0)
            return ErrorCode::kNoReply;
        if (ready < 0)
            return ErrorCode::kReceiveFailed;
        const ssize_t received = ::recv(fd_, chunk.data(), chunk.size(), 0);
        if (received == 0) { // closed by the device
            close();
            return ErrorCode::kConnectionLost;
        }
        if (received < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            return receiveError(errno);
        }
        const auto state =
            assembler_.feed(std::span<const uint8_t>(chunk.data(), static_cast<size_t>(received)));
        if (state == MbapReplyAssembler::State::waiting)
            continue;
        int code = assembler_.errorCode();
        if (state == MbapReplyAssembler::State::complete) {
            const auto pdu = assembler_.pdu();
            replyPdu.assign(pdu.begin(), pdu.end());
            code = ErrorCode::kSuccess;
        }
        if (assembler_.streamLost()) // frame boundaries are gone: only a new connection helps
            close();
        return code;
    }
}

int TcpConnection::receiveError(int error) {
    if (isConnectionLoss(error)) {
        close();
        return ErrorCode::kConnectionLost;
    }
    return ErrorCode::kReceiveFailed;
}

} // namespace vorn::modbus
