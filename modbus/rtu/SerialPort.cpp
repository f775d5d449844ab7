#include "SerialPort.h"

#include "toolkit/SOCmnTrace.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace vorn::modbus {
namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until `deadline`, as poll() takes them (0 when it has passed).
int millisecondsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 1'000'000'000));
}

// Waits for `events` on `fd`; true when one came before the deadline and the server is not
// stopping.
bool waitFor(int fd, short events, int timeoutMs, const StopSignal* stop) {
    pollfd entries[2] = {{fd, events, 0}, {stop ? stop->fd() : -1, POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(entries, 2, timeoutMs);
        if (ready >= 0)
            return ready > 0 && entries[1].revents == 0;
        if (errno != EINTR)
            return false;
    }
}

} // namespace

void SerialPort::noteOpenFailure(const std::string& devicePath, const char* reason) {
    // The engine retries a failed port every few hundred milliseconds: say it once per reason.
    if (openFailure_ == reason)
        return;
    openFailure_ = reason;
    getSOCmnTrace().trace(TraceLevel::warning, "RTU",
                          name_ + " = " + devicePath + ": " + openFailure_);
}

bool SerialPort::open(const std::string& devicePath) {
    close();
    if (devicePath.empty())
        return false;
    fd_ = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        noteOpenFailure(devicePath, std::strerror(errno));
        return false;
    }
    termios tio{};
    const char* failed = nullptr;
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0)
        failed = errno == EWOULDBLOCK ? "in use by another program" : std::strerror(errno);
    else if (::tcgetattr(fd_, &tio) != 0)
        failed = std::strerror(errno); // e.g. "Inappropriate ioctl for device": not a serial port
    else if (!applyLineSettings(tio, line_))
        failed = "line settings not supported";
    else if (::tcsetattr(fd_, TCSANOW, &tio) != 0)
        failed = std::strerror(errno);
    if (failed) {
        noteOpenFailure(devicePath, failed);
        close();
        return false;
    }
    openFailure_.clear();
    prepareModemLines();
    ::tcflush(fd_, TCIOFLUSH);
    ++openCount_;
    return true;
}

// "HARDWARE" is the direction control of RS-485 converters: RTS keys the transmitter while a
// frame goes out and is down while the reply comes back. The driver does that where it can;
// otherwise the port raises and drops RTS around each write.
void SerialPort::prepareModemLines() {
    modem_.setDtr(fd_, line_.hardwareFlowControl);
    rtsByHand_ = line_.hardwareFlowControl && !modem_.enableRs485(fd_);
    modem_.setRts(fd_, false);
}

void SerialPort::drainOutput(Clock::time_point deadline) {
    while (modem_.pendingOutput(fd_) > 0 && millisecondsUntil(deadline) > 0)
        if (stop_ && !stop_->pause(std::chrono::milliseconds(1)))
            return;
    // The last character still leaves the transmitter after the queue is empty.
    const std::chrono::milliseconds lastCharacter(lineTimeMs(line_, 1));
    if (stop_)
        stop_->pause(lastCharacter);
}

void SerialPort::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void SerialPort::discardInput() {
    if (fd_ < 0)
        return;
    ::tcflush(fd_, TCIFLUSH);
    // Bytes still on their way into the driver's queue are read off too, up to a bound so that
    // a far end that never stops talking cannot hold the port here.
    uint8_t scratch[256];
    for (int round = 0; round < 64; ++round)
        if (::read(fd_, scratch, sizeof scratch) <= 0)
            break;
}

void SerialPort::expectLateReply(std::chrono::milliseconds lateness) {
    lateReplyUntil_ = std::max(lateReplyUntil_, Clock::now() + lateness);
}

void SerialPort::awaitLateReply() {
    const int waitMs = millisecondsUntil(lateReplyUntil_);
    if (waitMs > 0 && stop_)
        stop_->pause(std::chrono::milliseconds(waitMs));
    lateReplyUntil_ = {};
    discardInput();
}

bool SerialPort::write(std::span<const uint8_t> frame) {
    if (fd_ < 0)
        return false;
    if (!rtsByHand_)
        return send(frame);
    modem_.setRts(fd_, true);
    const bool sent = send(frame);
    if (sent)
        drainOutput(Clock::now() + kWriteTimeout);
    modem_.setRts(fd_, false);
    return sent;
}

bool SerialPort::send(std::span<const uint8_t> frame) {
    const auto deadline = Clock::now() + kWriteTimeout;
    size_t sent = 0;
    while (sent < frame.size()) {
        const ssize_t written = ::write(fd_, frame.data() + sent, frame.size() - sent);
        if (written > 0) {
            sent += static_cast<size_t>(written);
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (!waitFor(fd_, POLLOUT, millisecondsUntil(deadline), stop_))
            return false;
    }
    return true;
}

size_t SerialPort::read(std::span<uint8_t> buffer, std::chrono::milliseconds responseTimeout) {
    if (fd_ < 0)
        return 0;
    const auto deadline = Clock::now() + responseTimeout +
                          std::chrono::milliseconds(lineTimeMs(line_, buffer.size()));
    size_t received = 0;
    while (received < buffer.size()) {
        int waitMs = millisecondsUntil(deadline);
        if (received > 0)
            waitMs = std::min(waitMs, static_cast<int>(kInterByteGap.count()));
        if (!waitFor(fd_, POLLIN, waitMs, stop_))
            break;
        const ssize_t got = ::read(fd_, buffer.data() + received, buffer.size() - received);
        if (got > 0)
            received += static_cast<size_t>(got);
        else if (got == 0 || (errno != EAGAIN && errno != EINTR))
            break; // line gone (hang-up or I/O error)
        else if (millisecondsUntil(deadline) == 0)
            break;
    }
    return received;
}

} // namespace vorn::modbus
