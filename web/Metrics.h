// /metrics in the Prometheus text exposition format (version 0.0.4): per device its requests,
// errors by code, round-trip histogram, connected state, read intervals and bus load; the OPC
// UA front's sessions, subscriptions, monitored items and notifications; process memory.
#pragma once

#include "web/StatusReader.h"

#include <string>
#include <vector>

namespace vorn::web {

inline constexpr const char* kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";

struct ProcessFacts {
    uint64_t residentBytes = 0;
    uint64_t virtualBytes = 0;
    double startTimeSeconds = 0; // since 1970
};

// This process's memory, from /proc/self/status.
ProcessFacts processFacts(std::chrono::system_clock::time_point startTime);

std::string metricsText(const std::vector<DeviceRow>& devices, const ua::UaStatistics& ua,
                        const ProcessFacts& process);

} // namespace vorn::web
