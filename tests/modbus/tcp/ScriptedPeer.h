// A raw Modbus TCP peer on 127.0.0.1 for replies no well-behaved device sends: a thread with a
// listening socket that reads each request frame (by its MBAP length) and answers it with the
// steps a test scripts: bytes after a pause, silence, or closing the connection. It records
// every request and connection, and stops and closes everything when destroyed.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vorn::test {

using Bytes = std::vector<uint8_t>;

struct PeerStep {
    std::chrono::milliseconds pause{0}; // before the bytes are sent
    Bytes bytes;
    bool closeAfter = false; // close the connection after sending the bytes
    bool resetAfter = false; // abort the connection (RST) after sending the bytes
};

class ScriptedPeer {
public:
    // Called on the peer's thread for every request frame (`number` counts from 0 across
    // connections); the steps are carried out in order before the next request is read.
    using Script = std::function<std::vector<PeerStep>(const Bytes& request, int number)>;

    explicit ScriptedPeer(Script script); // throws std::runtime_error when it cannot listen
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    uint16_t port() const { return port_; }
    std::vector<Bytes> requests() const;
    int connections() const { return connections_; }

private:
    void run();
    void serve(int client);
    bool pauseFor(std::chrono::milliseconds pause) const; // false when stopping

    Script script_;
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::vector<Bytes> requests_;
    std::thread thread_;
};

// The reply a device sends: MBAP header echoing the request's transaction id, then `unit`
// and `pdu`; the length field counts unit and PDU.
Bytes replyFrame(const Bytes& request, uint8_t unit, const Bytes& pdu);
// A read reply PDU with its byte count.
Bytes readReplyPdu(uint8_t function, const Bytes& data);
// The same bytes sent one at a time with `gap` between them.
std::vector<PeerStep> trickled(const Bytes& bytes, std::chrono::milliseconds gap);

// A loopback port bound but not listening: connections to it are refused while it lives.
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    uint16_t port() const { return port_; }

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

// A loopback listener whose accept queue is kept full and never served: the kernel leaves
// further connection attempts unanswered, as a host that drops them would.
class UnansweredListener {
public:
    UnansweredListener(); // throws std::runtime_error when it cannot be set up
    ~UnansweredListener();
    UnansweredListener(const UnansweredListener&) = delete;
    UnansweredListener& operator=(const UnansweredListener&) = delete;
    uint16_t port() const { return port_; }

private:
    int fd_ = -1;
    uint16_t port_ = 0;
    std::vector<int> queued_; // connections filling the accept queue
};

} // namespace vorn::test
