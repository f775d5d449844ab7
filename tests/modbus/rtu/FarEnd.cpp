#include "FarEnd.h"

#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace vorn::test {

FarEnd::FarEnd(const std::string& devicePath) {
    fd_ = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    if (fd_ < 0 || ::tcgetattr(fd_, &tio) != 0)
        throw std::runtime_error("cannot open the far end " + devicePath);
    cfmakeraw(&tio);
    ::tcsetattr(fd_, TCSANOW, &tio);
}

FarEnd::~FarEnd() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::vector<uint8_t> FarEnd::receive(size_t count, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    std::vector<uint8_t> bytes;
    while (bytes.size() < count) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd entry{fd_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) <= 0)
            break;
        uint8_t buffer[512];
        const ssize_t got = ::read(fd_, buffer, std::min(sizeof buffer, count - bytes.size()));
        if (got > 0) {
            if (bytes.empty())
                lastArrival_ = Clock::now();
            bytes.insert(bytes.end(), buffer, buffer + got);
        }
    }
    return bytes;
}

void FarEnd::send(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (written > 0)
            done += static_cast<size_t>(written);
        else {
            pollfd entry{fd_, POLLOUT, 0};
            if (::poll(&entry, 1, 1000) <= 0)
                throw std::runtime_error("the far end cannot send");
        }
    }
}

std::vector<uint8_t> withCrc(std::vector<uint8_t> bytes) {
    // Written out here, apart from the transport's own, so that a wrong CRC there shows.
    uint16_t crc = 0xFFFF;
    for (uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    bytes.push_back(static_cast<uint8_t>(crc & 0xFF));
    bytes.push_back(static_cast<uint8_t>(crc >> 8));
    return bytes;
}

} // namespace vorn::test
