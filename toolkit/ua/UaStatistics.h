// What the OPC UA front is serving now, for monitoring.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorn::ua {

struct UaStatistics {
    size_t sessions = 0;
    size_t subscriptions = 0;
    size_t monitoredItems = 0;
    uint64_t notificationsSent = 0; // data changes sent in Publish responses since the start
};

} // namespace vorn::ua
