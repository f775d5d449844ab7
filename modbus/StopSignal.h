// Ends the waits of a transport at once when the server stops, whatever the device timeouts:
// every poll() of a transport also watches fd(), which becomes readable when the signal is
// raised, and pauses sleep on it. Raised once, from any thread; it stays raised.
#pragma once

#include <chrono>

namespace vorn::modbus {

class StopSignal {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    void raise();
    bool isRaised() const;
    // Readable (POLLIN) once raised.
    int fd() const { return fd_; }
    // Waits `duration` unless the signal is raised first; false when raised.
    bool pause(std::chrono::milliseconds duration) const;

private:
    int fd_ = -1;
};

} // namespace vorn::modbus
