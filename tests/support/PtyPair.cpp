#include "PtyPair.h"

#include <filesystem>
#include <stdexcept>
#include <thread>

namespace vorn::test {

PtyPair::PtyPair(const std::string& directory, std::chrono::milliseconds timeout)
    : endA_(directory + "/pty-a"), endB_(directory + "/pty-b") {
    const std::string options = ",raw,echo=0,link=";
    socat_ = std::make_unique<ChildProcess>(
        "/usr/bin/socat",
        std::vector<std::string>{"pty" + options + endA_, "pty" + options + endB_});
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!std::filesystem::exists(endA_) || !std::filesystem::exists(endB_)) {
        if (socat_->waitForExit(std::chrono::milliseconds(0)))
            throw std::runtime_error("socat ended: " + socat_->errorOutput());
        if (std::chrono::steady_clock::now() >= deadline)
            throw std::runtime_error("socat made no pseudo-terminals in time");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace vorn::test
