// SIGTERM and SIGINT end the simulator cleanly. They stay blocked except while the event loop
// waits in ppoll(), so a signal can never slip in between the check and the wait.
#pragma once

#include <chrono>
#include <csignal>
#include <optional>
#include <poll.h>
#include <vector>

namespace modbus_sim {

class ShutdownSignal {
public:
    ShutdownSignal(); // installs the handlers and blocks the signals
    bool requested() const;

    // poll() until `deadline` (none: without bound) that also returns when a shutdown signal
    // arrives. Returns the number of ready descriptors, 0 on timeout or signal, -1 on error.
    int wait(std::vector<pollfd>& fds,
             std::optional<std::chrono::steady_clock::time_point> deadline) const;

private:
    sigset_t waitMask_{};
};

} // namespace modbus_sim
