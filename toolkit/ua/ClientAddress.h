// Where a client connects from: its IP address, which the limits per client address count, and
// its port, which the trace adds to tell two connections of one machine apart.
#pragma once

#include <cstdint>
#include <string>

namespace vorn::ua {

struct ClientAddress {
    std::string host; // "192.168.1.20"
    uint16_t port = 0;

    std::string text() const { return host + ":" + std::to_string(port); }
};

} // namespace vorn::ua
