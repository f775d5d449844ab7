// How one device's communication goes, as the engine sees it: whether the last transfer
// worked, the last error, counts, the round trip, how regularly its blocks are read and, on a
// serial line, how busy the line is. Written by the communication thread after each transfer
// (polls, and clients' reads from the device and writes), read by any thread (OPC UA clients,
// the status lines, the web page).
#pragma once

#include "engine/LineLoad.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vorn::modbus {

// Upper bounds (milliseconds) of the round-trip histogram's buckets; one more takes the rest.
inline constexpr std::array<double, 10> kRoundTripBucketsMs{1,   5,   10,  25,   50,
                                                            100, 250, 500, 1000, 2500};

struct DeviceHealthSnapshot {
    bool connected = false; // the last transfer worked (false until one has)
    uint32_t lastErrorCode = 0;
    std::string lastErrorText;
    uint64_t errorCount = 0;
    uint64_t requestCount = 0;
    std::chrono::system_clock::time_point lastGoodTime{}; // epoch until a transfer worked
    double roundTripMs = 0;                               // moving average of good transfers
    // Since when `connected` is what it is (epoch until the first transfer).
    std::chrono::system_clock::time_point stateSince{};
    std::map<uint32_t, uint64_t> errorsByCode; // failed transfers per error code
    // Round trips of good transfers: how many fell at or below each bound of
    // kRoundTripBucketsMs (not cumulated; the last count is above the last bound), their sum.
    std::array<uint64_t, kRoundTripBucketsMs.size() + 1> roundTripCounts{};
    double roundTripSumMs = 0;
    // Time between two poll reads of the same block, over the device's latest such gaps
    // (kReadIntervalSamples); 0 until a block has been read twice.
    double readIntervalP50Ms = 0;
    double readIntervalP95Ms = 0;
    // Serial lines: the share (0 to 1) of the last seconds the device's line was busy with
    // transactions of any device on it; none for TCP devices.
    std::optional<double> busLoad;
    // The device failed often enough in a row to be tried only at its reduced rate.
    bool reducedRate = false;
    // Poll blocks the device refused as a whole, now read tag by tag.
    uint32_t splitBlocks = 0;
    // Modbus TCP devices: the address and port in use ("10.0.0.5:502"); empty until selected.
    std::string activeAddress;
};

class DeviceHealth {
public:
    // Weight of the newest round trip in the moving average.
    static constexpr double kRoundTripWeight = 0.2;
    // How many of the latest gaps between reads of a block the percentiles look at.
    static constexpr size_t kReadIntervalSamples = 256;

    void recordSuccess(double roundTripMs, std::chrono::system_clock::time_point now);
    // A transfer that failed, or a device that could not be selected for one.
    void recordFailure(uint32_t code, const std::string& text);
    // A block of the device was read again `intervalMs` after its previous read.
    void recordReadInterval(double intervalMs);
    void setReducedRate(bool reduced);
    void setSplitBlocks(uint32_t count);
    void setActiveAddress(const std::string& endpoint);
    // The serial line the device is on (set before polling starts).
    void setLine(std::shared_ptr<const LineLoad> line) { line_ = std::move(line); }
    DeviceHealthSnapshot snapshot() const;

private:
    mutable std::mutex mutex_;
    DeviceHealthSnapshot state_;
    std::vector<double> intervals_; // a ring of the latest read intervals
    size_t nextInterval_ = 0;
    std::shared_ptr<const LineLoad> line_;
};

} // namespace vorn::modbus
