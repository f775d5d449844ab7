#include "TcpTransport.h"

#include "modbus/ErrorCodes.h"
#include "modbus/RegisterKind.h"
#include "modbus/ReplyPdu.h"
#include "modbus/RequestPdu.h"

#include <chrono>
#include <utility>

namespace vorn::modbus {

TcpTransport::~TcpTransport() {
    closeAll();
}

int TcpTransport::start(std::vector<DeviceEntry> devices) {
    closeAll();
    devices_.reserve(devices.size());
    for (auto& entry : devices)
        devices_.push_back(Device{std::move(entry), TcpConnection(&stop_)});
    return ErrorCode::kSuccess;
}

TcpTransport::Device* TcpTransport::deviceAt(uint16_t index) {
    if (index == 0 || index > devices_.size())
        return nullptr;
    return &devices_[index - 1];
}

bool TcpTransport::isConnected(uint16_t index) const {
    return index >= 1 && index <= devices_.size() && devices_[index - 1].connection.isOpen();
}

int TcpTransport::selectDevice(uint16_t index) {
    Device* device = deviceAt(index);
    if (device == nullptr) {
        // No device becomes current, so no transfer can reach a device it was not meant for.
        current_ = 0;
        return devices_.empty() ? ErrorCode::kSocketResources : ErrorCode::kInvalidSocketArgument;
    }
    current_ = index;
    if (device->connection.isOpen())
        return ErrorCode::kSuccess;
    return device->connection.open(device->entry.address, device->entry.tcpPort);
}

int TcpTransport::releaseDevice(uint16_t index) {
    if (Device* device = deviceAt(index))
        device->connection.close();
    return ErrorCode::kSuccess;
}

int TcpTransport::transfer(std::span<const uint8_t> pdu) {
    Device* device = deviceAt(current_);
    if (device == nullptr || !device->connection.isOpen())
        return ErrorCode::kNotConnected;
    const auto frame = encoder_.encode(device->entry.unitId, pdu);
    if (!frame)
        return ErrorCode::kInvalidSocketArgument;
    return device->connection.exchange(*frame, encoder_.lastTransactionId(), device->entry.unitId,
                                       std::chrono::milliseconds(device->entry.timeoutMs), reply_);
}

int TcpTransport::readRegisters(uint8_t functionCode, uint8_t kind, uint16_t count, uint16_t start,
                                std::span<uint8_t> destination) {
    const auto pdu = readRequest(functionCode, kind, start, count);
    if (!pdu || destination.size() < unitBytes(kind, count))
        return ErrorCode::kInvalidSocketArgument;
    if (const int code = transfer(*pdu); code != ErrorCode::kSuccess)
        return code;
    return checkReadReply(reply_, functionCode, kind, count, destination);
}

int TcpTransport::writeMultiple(uint8_t functionCode, uint8_t kind, uint16_t count, uint16_t start,
                                std::span<const uint8_t> data) {
    const auto pdu = writeMultipleRequest(functionCode, kind, start, count, data);
    if (!pdu)
        return ErrorCode::kInvalidSocketArgument;
    if (const int code = transfer(*pdu); code != ErrorCode::kSuccess)
        return code;
    return checkWriteReply(reply_, *pdu);
}

int TcpTransport::writeSingle(uint8_t functionCode, uint8_t /*kind*/, uint16_t address,
                              uint8_t high, uint8_t low) {
    const auto pdu = writeSingleRequest(functionCode, address, {high, low});
    if (const int code = transfer(pdu); code != ErrorCode::kSuccess)
        return code;
    return checkWriteReply(reply_, pdu);
}

void TcpTransport::closeAll() {
    current_ = 0;
    devices_.clear(); // each connection closes with its device
}

} // namespace vorn::modbus
