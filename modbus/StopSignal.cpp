#include "StopSignal.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace vorn::modbus {

StopSignal::StopSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

StopSignal::~StopSignal() {
    if (fd_ >= 0)
        ::close(fd_);
}

void StopSignal::raise() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(fd_, &one, sizeof one);
}

bool StopSignal::isRaised() const {
    pollfd entry{fd_, POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0;
}

bool StopSignal::pause(std::chrono::milliseconds duration) const {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + duration;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd entry{fd_, POLLIN, 0};
        const int ready =
            ::poll(&entry, 1, static_cast<int>(std::clamp<long long>(left.count(), 0, INT_MAX)));
        if (ready > 0)
            return false;
        if (ready == 0 || errno != EINTR)
            return true;
    }
}

} // namespace vorn::modbus
