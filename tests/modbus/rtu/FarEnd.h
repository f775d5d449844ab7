// The device side of a pseudo-terminal line, played by the test: it reads the frames the
// transport sends and answers with whatever bytes the test chooses, when it chooses.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace vorn::test {

class FarEnd {
public:
    explicit FarEnd(const std::string& devicePath); // throws std::runtime_error
    ~FarEnd();
    FarEnd(const FarEnd&) = delete;
    FarEnd& operator=(const FarEnd&) = delete;

    // Reads until `count` bytes are there or `timeout` has passed; what came.
    std::vector<uint8_t> receive(size_t count, std::chrono::milliseconds timeout);
    // When the first byte of the last receive() arrived.
    std::chrono::steady_clock::time_point lastArrival() const { return lastArrival_; }
    void send(const std::vector<uint8_t>& bytes);

private:
    int fd_ = -1;
    std::chrono::steady_clock::time_point lastArrival_{};
};

// `bytes` with their Modbus CRC appended (low byte first), as a device would send them.
std::vector<uint8_t> withCrc(std::vector<uint8_t> bytes);

} // namespace vorn::test
