// A pair of connected pseudo-terminals made by socat, standing in for a serial cable:
// what is written to one end is read at the other. socat is ended when the object goes.
#pragma once

#include "ChildProcess.h"

#include <chrono>
#include <memory>
#include <string>

namespace vorn::test {

class PtyPair {
public:
    // Makes the links `directory`/pty-a and `directory`/pty-b; throws std::runtime_error when
    // socat is missing or the links do not appear within `timeout`.
    explicit PtyPair(const std::string& directory,
                     std::chrono::milliseconds timeout = std::chrono::seconds(5));

    const std::string& endA() const { return endA_; }
    const std::string& endB() const { return endB_; }

private:
    std::string endA_;
    std::string endB_;
    std::unique_ptr<ChildProcess> socat_;
};

} // namespace vorn::test
