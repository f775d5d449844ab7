// Modbus RTU on a serial device (or one end of a pseudo-terminal pair): every served unit on
// the one line; requests to other units are logged and left unanswered, as on a real bus.
#pragma once

#include "CommandLine.h"
#include "Generators.h"
#include "RequestHandler.h"
#include "ShutdownSignal.h"

namespace modbus_sim {

class RtuServer {
public:
    // Throws std::runtime_error when the device cannot be opened and set up.
    RtuServer(const SerialSettings& settings, DeviceImage& image, const FaultSwitches& faults,
              RequestLog& log);
    ~RtuServer();
    RtuServer(const RtuServer&) = delete;
    RtuServer& operator=(const RtuServer&) = delete;

    std::string where() const { return device_; }
    // Serves until a shutdown signal arrives; throws std::runtime_error when the line goes away.
    void run(Generators& generators, const ShutdownSignal& shutdown);

private:
    void receive();

    DeviceImage& image_;
    RequestHandler handler_;
    std::string device_;
    Link line_;
};

} // namespace modbus_sim
