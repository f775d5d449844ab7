#include "RequestHandler.h"

#include <cstdio>
#include <cstring>

namespace modbus_sim {

RequestHandler::RequestHandler(Transport transport, DeviceImage& image, const FaultSwitches& faults,
                               RequestLog& log)
    : transport_(transport), image_(image), faults_(faults), log_(log) {}

bool RequestHandler::take(Link& link, const std::uint8_t* adu, int length) {
    const int pduOffset = modbus_get_header_length(link.context);
    if (length <= pduOffset || length > MODBUS_MAX_ADU_LENGTH)
        return true;
    RequestSummary request = summarizeRequest(adu, length, pduOffset);
    log_.record(request);

    if (transport_ == Transport::Rtu && request.unit == MODBUS_BROADCAST_ADDRESS) {
        // Every device on the line carries out a broadcast write; none answers
        // (libmodbus sends no reply to an RTU broadcast).
        for (int unit : image_.units())
            modbus_reply(link.context, adu, length, image_.mapping(unit));
        return true;
    }
    if (!image_.serves(request.unit)) {
        // On a serial line another device may own the address; over TCP this is a gateway
        // whose target is absent.
        if (transport_ == Transport::Tcp) {
            modbus_set_socket(link.context, link.fd);
            return modbus_reply_exception(link.context, adu, MODBUS_EXCEPTION_GATEWAY_TARGET) >= 0;
        }
        return true;
    }
    if (faults_.isSilent(request.unit))
        return true;
    if (link.pending.size() >= kMaxPendingPerLink) {
        std::fprintf(stderr,
                     "modbus-sim: more than %zu requests waiting on one link, dropped one\n",
                     kMaxPendingPerLink);
        return true;
    }
    PendingRequest pending;
    std::memcpy(pending.adu.data(), adu, static_cast<std::size_t>(length));
    pending.length = length;
    pending.due = Clock::now() + std::chrono::milliseconds(faults_.delayFor(request.unit));
    link.pending.push_back(pending);
    return answerDue(link, Clock::now());
}

bool RequestHandler::answerDue(Link& link, Clock::time_point now) {
    while (!link.pending.empty() && link.pending.front().due <= now) {
        PendingRequest request = link.pending.front();
        link.pending.pop_front();
        if (!answer(link, request.adu.data(), request.length))
            return false;
    }
    return true;
}

std::optional<Clock::time_point> RequestHandler::nextDue(const Link& link) const {
    if (link.pending.empty())
        return std::nullopt;
    return link.pending.front().due;
}

bool RequestHandler::answer(Link& link, const std::uint8_t* adu, int length) {
    const int pduOffset = modbus_get_header_length(link.context);
    const int unit = adu[pduOffset - 1];
    const int function = adu[pduOffset];
    modbus_set_socket(link.context, link.fd);
    if (transport_ == Transport::Rtu)
        modbus_set_slave(link.context, unit);
    int sent = 0;
    const RequestSummary request = summarizeRequest(adu, length, pduOffset);
    if (auto code = faults_.exceptionFor(unit, function))
        sent = modbus_reply_exception(link.context, adu, static_cast<unsigned>(*code));
    else if (faults_.touchesUnmapped(unit, function, request.start, request.count))
        sent = modbus_reply_exception(link.context, adu, MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
    else
        sent = modbus_reply(link.context, adu, length, image_.mapping(unit));
    if (sent < 0) {
        std::fprintf(stderr, "modbus-sim: answering unit %d function %d failed: %s\n", unit,
                     function, modbus_strerror(errno));
        return false;
    }
    return true;
}

} // namespace modbus_sim
