// One serial line opened on a device path with termios. The port is opened for this process
// alone (an advisory lock), with both queues purged, and never blocks: writes and reads wait
// with poll() under deadlines, so a silent or babbling far end cannot stall the caller.
#pragma once

#include "LineSettings.h"
#include "ModemControl.h"
#include "modbus/StopSignal.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vorn::modbus {

class SerialPort {
public:
    // No byte for this long after the last one ends a reply.
    static constexpr std::chrono::milliseconds kInterByteGap{50};
    // Longest a frame may take to leave; a line held up longer (flow control) fails the write.
    static constexpr std::chrono::milliseconds kWriteTimeout{1000};

    // `stop`, when given, ends every wait on the port as soon as it is raised.
    SerialPort(std::string name, LineSettings line, const StopSignal* stop = nullptr,
               ModemControl& modem = systemModemControl())
        : name_(std::move(name)), line_(line), stop_(stop), modem_(modem) {}
    ~SerialPort() { close(); }
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    const std::string& name() const { return name_; }
    const LineSettings& line() const { return line_; }
    bool isOpen() const { return fd_ >= 0; }
    // Times the port has been opened.
    size_t openCount() const { return openCount_; }

    // Opens `devicePath` with the port's line settings; false (and closed) when the device
    // cannot be opened, is taken by another user, or refuses the settings.
    bool open(const std::string& devicePath);
    void close();
    // New line settings: the port closes, and opens with them next time (its open count goes
    // on).
    void changeLine(LineSettings line) {
        close();
        line_ = line;
    }

    // Drops whatever has arrived unasked, so that a late answer is not taken for the next one.
    void discardInput();
    // A request ended without its reply, which may still come within `lateness`: the next
    // request waits that long and discards what arrived (RTU has no transaction number).
    void expectLateReply(std::chrono::milliseconds lateness);
    // Waits out a late reply announced by expectLateReply(), then discards what waits.
    void awaitLateReply();
    // Sends all of `frame`; false when the port is closed or the line does not take it in time.
    // With "HARDWARE" flow control RTS is up while the frame leaves the port.
    bool write(std::span<const uint8_t> frame);
    // Receives up to `buffer.size()` bytes: the first must come within `responseTimeout`, each
    // next one within the inter-byte gap, and the whole reply within the response timeout plus
    // the time its bytes take on the line. Returns the number of bytes received (0: none).
    size_t read(std::span<uint8_t> buffer, std::chrono::milliseconds responseTimeout);

private:
    using Clock = std::chrono::steady_clock;

    void prepareModemLines();
    [[nodiscard]] bool send(std::span<const uint8_t> frame);
    // Waits until the driver has sent what was written, at most until `deadline`.
    void drainOutput(Clock::time_point deadline);

    std::string name_;
    LineSettings line_;
    const StopSignal* stop_ = nullptr;
    ModemControl& modem_;
    bool rtsByHand_ = false; // RTS raised around each write (no RS-485 mode in the driver)
    int fd_ = -1;
    size_t openCount_ = 0;
    Clock::time_point lateReplyUntil_{}; // kept across close and open
    // Why the last open failed, as traced; a new reason is traced once, a success clears it.
    std::string openFailure_;
    void noteOpenFailure(const std::string& devicePath, const char* reason);
};

} // namespace vorn::modbus
