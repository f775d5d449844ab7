// One device's Modbus TCP connection: a non-blocking socket waited on with poll(), and the
// reply assembler that keeps the frame boundaries of its byte stream. Every wait is bounded: the
// connect by kConnectWait, an exchange by the device timeout given to it. Socket failures become
// the engine's error codes; a connection found broken or out of step is closed here, and stays
// closed until the next open().
#pragma once

#include "modbus/StopSignal.h"
#include "modbus/tcp/MbapReplyAssembler.h"

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vorn::modbus {

class TcpConnection {
public:
    static constexpr std::chrono::milliseconds kConnectWait{1000};
    static constexpr int kSocketBufferBytes = 8192;

    // `stop`, when given, ends every wait of the connection as soon as it is raised.
    explicit TcpConnection(const StopSignal* stop = nullptr) : stop_(stop) {}
    ~TcpConnection();
    TcpConnection(TcpConnection&& other) noexcept;
    TcpConnection& operator=(TcpConnection&& other) noexcept;
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // Connects to an IPv4 address as inet_aton reads it (anything else gives 51) within
    // kConnectWait: 0, or 18, 32, 50, 51; the connection stays closed on failure. An open
    // connection is closed first.
    [[nodiscard]] int open(const std::string& address, uint16_t port);
    void close();
    bool isOpen() const { return fd_ >= 0; }

    // Sends `frame` and waits, at most `timeout` in all, for the reply with `transactionId` from
    // `unitId`; its PDU (function code on) goes to `replyPdu`. Bytes that arrived before the
    // request and frames of other transactions are dropped. Returns 0, or 33 when closed, 1 send
    // failed, 2 receive failed, 3 connection lost (closed), 4 no reply in time, 52 malformed.
    [[nodiscard]] int exchange(std::span<const uint8_t> frame, uint16_t transactionId,
                               uint8_t unitId, std::chrono::milliseconds timeout,
                               std::vector<uint8_t>& replyPdu);

private:
    using Clock = std::chrono::steady_clock;

    [[nodiscard]] int discardWaitingBytes();
    [[nodiscard]] int sendFrame(std::span<const uint8_t> frame, Clock::time_point deadline);
    [[nodiscard]] int receiveReply(Clock::time_point deadline, std::vector<uint8_t>& replyPdu);
    [[nodiscard]] int receiveError(int error);

    const StopSignal* stop_ = nullptr;
    int fd_ = -1;
    MbapReplyAssembler assembler_;
};

} // namespace vorn::modbus
