// What the simulated device does with each request, the same for TCP and RTU: log it, apply the
// fault switches, and answer from the unit's data through libmodbus, now or after a delay.
#pragma once

#include "DeviceImage.h"
#include "FaultSwitches.h"
#include "RequestLog.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <modbus/modbus.h>
#include <optional>

namespace modbus_sim {

using Clock = std::chrono::steady_clock;

struct PendingRequest {
    std::array<std::uint8_t, MODBUS_MAX_ADU_LENGTH> adu{};
    int length = 0;
    Clock::time_point due;
};

// One connection or serial line: where requests come from and answers go, with the requests
// read but not answered yet, oldest first. The context's socket is the link's descriptor.
struct Link {
    modbus_t* context = nullptr;
    int fd = -1;
    std::deque<PendingRequest> pending;
};

enum class Transport { Tcp, Rtu };

class RequestHandler {
public:
    // More requests than this waiting on one link (a client that does not wait for answers)
    // are dropped rather than stored.
    static constexpr std::size_t kMaxPendingPerLink = 64;

    RequestHandler(Transport transport, DeviceImage& image, const FaultSwitches& faults,
                   RequestLog& log);

    // Takes one complete request read from the link: logs it, then answers, queues or drops it.
    // False when an answer could not be sent (the peer is gone or stopped reading).
    bool take(Link& link, const std::uint8_t* adu, int length);
    // Answers the link's queued requests whose time has come; false as for take().
    bool answerDue(Link& link, Clock::time_point now);
    // When the next queued request of the link falls due.
    std::optional<Clock::time_point> nextDue(const Link& link) const;

private:
    bool answer(Link& link, const std::uint8_t* adu, int length);

    Transport transport_;
    DeviceImage& image_;
    const FaultSwitches& faults_;
    RequestLog& log_;
};

} // namespace modbus_sim
