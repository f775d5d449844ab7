#include "RtuTransport.h"

#include "PortPath.h"
#include "RtuFrame.h"
#include "modbus/ErrorCodes.h"
#include "modbus/RegisterKind.h"
#include "modbus/RequestPdu.h"

#include <algorithm>

namespace vorn::modbus {
namespace {

constexpr size_t kReadReplyOverhead = 5; // unit, function, byte count, CRC

} // namespace

RtuTransport::RtuTransport(const SerialPortList& ports, const Registry& registry, CommLog& log)
    : registry_(registry), log_(log) {
    for (const SerialPortSettings& port : ports.ports())
        ports_.push_back(std::make_unique<SerialPort>(port.name, lineSettingsOf(port), &stop_));
}

int RtuTransport::start(std::vector<DeviceEntry> devices) {
    devices_ = std::move(devices);
    currentDevice_ = nullptr;
    currentPort_ = nullptr;
    return ErrorCode::kSuccess;
}

void RtuTransport::reconfigure(std::vector<DeviceEntry> devices, const std::vector<uint16_t>&,
                               const SerialPortList& lines,
                               const std::vector<std::string>& changedLines) {
    for (const SerialPortSettings& line : lines.ports()) {
        SerialPort* port = portNamed(line.name);
        if (!port)
            ports_.push_back(std::make_unique<SerialPort>(line.name, lineSettingsOf(line), &stop_));
        else if (std::find(changedLines.begin(), changedLines.end(), line.name) !=
                 changedLines.end())
            port->changeLine(lineSettingsOf(line));
    }
    (void)start(std::move(devices));
}

SerialPort* RtuTransport::portNamed(const std::string& name) {
    for (const auto& port : ports_)
        if (port->name() == name)
            return port.get();
    return nullptr;
}

size_t RtuTransport::openCount(const std::string& portName) const {
    for (const auto& port : ports_)
        if (port->name() == portName)
            return port->openCount();
    return 0;
}

int RtuTransport::selectDevice(uint16_t index) {
    currentDevice_ = nullptr;
    currentPort_ = nullptr;
    if (index == 0 || index > devices_.size())
        return ErrorCode::kPortUnavailable;
    currentDevice_ = &devices_[index - 1];
    currentPort_ = portNamed(currentDevice_->portName);
    if (currentPort_ == nullptr)
        return ErrorCode::kPortUnavailable;
    if (!currentPort_->isOpen() &&
        !currentPort_->open(portDevicePath(registry_, currentPort_->name())))
        return ErrorCode::kPortUnavailable;
    return ErrorCode::kSuccess;
}

int RtuTransport::releaseDevice(uint16_t) {
    return ErrorCode::kSuccess;
}

void RtuTransport::closeAll() {
    for (const auto& port : ports_)
        port->close();
    start({});
}

int RtuTransport::readRegisters(uint8_t functionCode, uint8_t kind, uint16_t count, uint16_t start,
                                std::span<uint8_t> destination) {
    const auto pdu = readRequest(functionCode, kind, start, count);
    if (!pdu || destination.size() < unitBytes(kind, count))
        return ErrorCode::kSendFailed; // nothing that could be sent
    return transact(*pdu, {ReplyKind::read, unitBytes(kind, count) + kReadReplyOverhead, kind,
                           count, destination});
}

int RtuTransport::writeMultiple(uint8_t functionCode, uint8_t kind, uint16_t count, uint16_t start,
                                std::span<const uint8_t> data) {
    const auto pdu = writeMultipleRequest(functionCode, kind, start, count, data);
    if (!pdu)
        return ErrorCode::kSendFailed;
    return transact(*pdu, {ReplyKind::writeMultiple, kRtuWriteReplyBytes});
}

int RtuTransport::writeSingle(uint8_t functionCode, uint8_t, uint16_t address, uint8_t high,
                              uint8_t low) {
    const auto pdu = writeSingleRequest(functionCode, address, {high, low});
    return transact(pdu, {ReplyKind::writeSingle, kRtuWriteReplyBytes});
}

int RtuTransport::transact(std::span<const uint8_t> pdu, const Expected& expected) {
    if (currentDevice_ == nullptr)
        return ErrorCode::kPortUnavailable;
    if (!stop_.pause(std::chrono::milliseconds(currentDevice_->silentMs)))
        return ErrorCode::kSendFailed; // the server is stopping

    const std::vector<uint8_t> request = rtuFrame(currentDevice_->unitId, pdu);
    if (currentPort_ == nullptr)
        return ErrorCode::kSendFailed;
    currentPort_->awaitLateReply();
    if (!currentPort_->write(request)) {
        currentPort_->close();
        return ErrorCode::kSendFailed;
    }

    std::vector<uint8_t> reply(expected.replyBytes);
    reply.resize(currentPort_->read(reply, std::chrono::milliseconds(currentDevice_->timeoutMs)));
    log_.logTransaction(request, reply);

    const auto timeout = std::chrono::milliseconds(currentDevice_->timeoutMs);
    if (reply.empty()) {
        currentPort_->expectLateReply(timeout);
        currentPort_->close();
        return ErrorCode::kNoReply;
    }
    const int code = checkReply(reply, request, expected);
    if (isCommunicationError(code))
        currentPort_->expectLateReply(timeout); // the damaged reply may have more to come
    return code;
}

int RtuTransport::checkReply(std::span<const uint8_t> reply, std::span<const uint8_t> request,
                             const Expected& expected) {
    switch (expected.kind) {
    case ReplyKind::read:
        return checkRtuReadReply(reply, request, expected.registerKind, expected.count,
                                 expected.destination);
    case ReplyKind::writeMultiple:
        return checkRtuWriteMultipleReply(reply, request);
    case ReplyKind::writeSingle:
        return checkRtuWriteSingleReply(reply, request);
    }
    return ErrorCode::kBadSerialReply;
}

} // namespace vorn::modbus
