#include "RtuServer.h"

#include "RtuFrame.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <modbus/modbus-rtu.h>
#include <stdexcept>

namespace modbus_sim {

RtuServer::RtuServer(const SerialSettings& settings, DeviceImage& image,
                     const FaultSwitches& faults, RequestLog& log)
    : image_(image), handler_(Transport::Rtu, image, faults, log), settings_(settings) {
    line_.context = modbus_new_rtu(settings.device.c_str(), settings.baud, settings.parity,
                                   settings.dataBits, settings.stopBits);
    if (line_.context == nullptr)
        throw std::runtime_error("cannot set up RTU on " + settings.device + ": " +
                                 modbus_strerror(errno));
    modbus_set_slave(line_.context, image.units().front());
    if (modbus_connect(line_.context) != 0) {
        std::string reason = modbus_strerror(errno);
        modbus_free(line_.context);
        throw std::runtime_error("cannot open " + settings.device + ": " + reason);
    }
    line_.fd = modbus_get_socket(line_.context);
    receiver_ = newReceiver();
}

RtuServer::ContextPtr RtuServer::newReceiver() const {
    ContextPtr receiver(modbus_new_rtu(settings_.device.c_str(), settings_.baud, settings_.parity,
                                       settings_.dataBits, settings_.stopBits));
    if (!receiver)
        throw std::runtime_error("cannot set up RTU on " + settings_.device + ": " +
                                 modbus_strerror(errno));
    modbus_set_slave(receiver.get(), image_.units().front());
    modbus_set_socket(receiver.get(), line_.fd);
    return receiver;
}

RtuServer::~RtuServer() {
    modbus_set_socket(receiver_.get(), -1); // the line is closed once, by its own context
    modbus_close(line_.context);
    modbus_free(line_.context);
}

void RtuServer::run(Generators& generators, const ShutdownSignal& shutdown) {
    std::vector<pollfd> fds;
    while (!shutdown.requested()) {
        generators.update(image_, Clock::now());

        std::optional<Clock::time_point> deadline = handler_.nextDue(line_);
        if (!generators.empty() && (!deadline || generators.nextUpdate() < *deadline))
            deadline = generators.nextUpdate();
        fds.assign(1, pollfd{line_.fd, POLLIN, 0});
        if (shutdown.wait(fds, deadline) < 0)
            throw std::runtime_error(std::string("poll: ") + std::strerror(errno));

        if (fds[0].revents & (POLLERR | POLLNVAL))
            throw std::runtime_error("the serial line " + settings_.device + " failed");
        if (fds[0].revents & (POLLIN | POLLHUP))
            receive();
        handler_.answerDue(line_, Clock::now());
    }
}

void RtuServer::receive() {
    std::uint8_t frame[MODBUS_RTU_MAX_ADU_LENGTH] = {};
    int length = modbus_receive(receiver_.get(), frame);
    if (length > 0) {
        handler_.take(line_, frame, length);
        return;
    }
    if (length == 0) {
        // A whole frame for another unit than the receiver's (see RtuFrame.h).
        modbus_set_socket(receiver_.get(), -1);
        receiver_ = newReceiver();
        int frameLength = rtuRequestLength(frame, sizeof frame);
        if (frameLength > 0 && rtuCrcMatches(frame, frameLength)) {
            handler_.take(line_, frame, frameLength);
        } else {
            std::fprintf(stderr, "modbus-sim: ignored a frame with a bad CRC\n");
            modbus_flush(receiver_.get());
        }
        return;
    }
    if (errno == ECONNRESET || errno == EIO || errno == EBADF)
        throw std::runtime_error("the serial line " + settings_.device + " was closed");
    // Bad CRC, a frame cut short, a length beyond the maximum: skip what is left of it.
    std::fprintf(stderr, "modbus-sim: ignored a bad frame: %s\n", modbus_strerror(errno));
    modbus_flush(receiver_.get());
}

} // namespace modbus_sim
