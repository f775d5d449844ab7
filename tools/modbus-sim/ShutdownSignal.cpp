#include "ShutdownSignal.h"

#include <cerrno>

namespace modbus_sim {
namespace {

volatile std::sig_atomic_t shutdownRequested = 0;

void onShutdownSignal(int) {
    shutdownRequested = 1;
}

} // namespace

ShutdownSignal::ShutdownSignal() {
    struct sigaction action {};
    action.sa_handler = onShutdownSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    // A client that disconnects while being answered must not end the process.
    std::signal(SIGPIPE, SIG_IGN);

    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    sigprocmask(SIG_BLOCK, &blocked, &waitMask_);
    sigdelset(&waitMask_, SIGTERM);
    sigdelset(&waitMask_, SIGINT);
}

bool ShutdownSignal::requested() const {
    return shutdownRequested != 0;
}

int ShutdownSignal::wait(std::vector<pollfd>& fds,
                         std::optional<std::chrono::steady_clock::time_point> deadline) const {
    if (requested())
        return 0;
    timespec limit{};
    timespec* limitPointer = nullptr;
    if (deadline) {
        auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
            *deadline - std::chrono::steady_clock::now());
        if (left.count() < 0)
            left = std::chrono::nanoseconds(0);
        limit.tv_sec = static_cast<time_t>(left.count() / 1000000000LL);
        limit.tv_nsec = static_cast<long>(left.count() % 1000000000LL);
        limitPointer = &limit;
    }
    int ready = ppoll(fds.data(), fds.size(), limitPointer, &waitMask_);
    if (ready < 0 && errno == EINTR)
        return 0;
    return ready;
}

} // namespace modbus_sim
