// How one device's communication goes, as the engine sees it: whether the last
// transfer worked, the last error, counts and the round trip. Written by the communication
// thread after each transfer (polls, and clients' reads from the device and writes), read by
// any thread (OPC UA clients, the status lines).
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

namespace vorn::modbus {

struct DeviceHealthSnapshot {
    bool connected = false; // the last transfer worked (false until one has)
    uint32_t lastErrorCode = 0;
    std::string lastErrorText;
    uint64_t errorCount = 0;
    uint64_t requestCount = 0;
    std::chrono::system_clock::time_point lastGoodTime{}; // epoch until a transfer worked
    double roundTripMs = 0;                               // moving average of good transfers
};

class DeviceHealth {
public:
    // Weight of the newest round trip in the moving average.
    static constexpr double kRoundTripWeight = 0.2;

    void recordSuccess(double roundTripMs, std::chrono::system_clock::time_point now);
    // A transfer that failed, or a device that could not be selected for one.
    void recordFailure(uint32_t code, const std::string& text);
    DeviceHealthSnapshot snapshot() const;

private:
    mutable std::mutex mutex_;
    DeviceHealthSnapshot state_;
};

} // namespace vorn::modbus
