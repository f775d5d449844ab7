// Modbus RTU on a serial device (or one end of a pseudo-terminal pair): every served unit on
// the one line; requests to other units are logged and left unanswered, as on a real bus.
#pragma once

#include "CommandLine.h"
#include "Generators.h"
#include "RequestHandler.h"
#include "ShutdownSignal.h"

#include <memory>

namespace modbus_sim {

class RtuServer {
public:
    // Throws std::runtime_error when the device cannot be opened and set up.
    RtuServer(const SerialSettings& settings, DeviceImage& image, const FaultSwitches& faults,
              RequestLog& log);
    ~RtuServer();
    RtuServer(const RtuServer&) = delete;
    RtuServer& operator=(const RtuServer&) = delete;

    std::string where() const { return settings_.device; }
    // Serves until a shutdown signal arrives; throws std::runtime_error when the line goes away.
    void run(Generators& generators, const ShutdownSignal& shutdown);

private:
    struct ContextDeleter {
        void operator()(modbus_t* context) const { modbus_free(context); }
    };
    using ContextPtr = std::unique_ptr<modbus_t, ContextDeleter>;

    void receive();
    ContextPtr newReceiver() const;

    DeviceImage& image_;
    RequestHandler handler_;
    SerialSettings settings_;
    // Opens, sets up, answers on and finally restores the line.
    Link line_;
    // Reads requests from the line's descriptor. After a frame for another unit libmodbus takes
    // the next frame for that unit's answer; on our line no other device answers, and that next
    // frame is a request, so the receiver is replaced by a fresh one then.
    ContextPtr receiver_;
};

} // namespace modbus_sim
