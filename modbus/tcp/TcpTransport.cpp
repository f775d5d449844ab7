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

void TcpTransport::reconfigure(std::vector<DeviceEntry> devices,
                               const std::vector<uint16_t>& previous, const SerialPortList&,
                               const std::vector<std::string>&) {
    std::vector<Device> table;
    table.reserve(devices.size());
    std::vector<bool> kept(devices_.size(), false);
    for (size_t i = 0; i < devices.size(); ++i) {
        const uint16_t from = i < previous.size() ? previous[i] : 0;
        if (Device* old = deviceAt(from); old && !kept[from - 1]) {
            kept[from - 1] = true;
            table.push_back(std::move(*old));
            table.back().entry = std::move(devices[i]);
        } else {
            table.push_back(Device{std::move(devices[i]), TcpConnection(&stop_)});
        }
    }
    for (size_t i = 0; i < devices_.size(); ++i)
        if (!kept[i])
            devices_[i].connection.close();
    devices_ = std::move(table);
    current_ = 0;
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
    const DeviceEntry& entry = device->entry;
    const int code = device->onBackup
                         ? device->connection.open(entry.backupAddress, entry.backupPort)
                         : device->connection.open(entry.address, entry.tcpPort);
    if (code != ErrorCode::kSuccess) {
        if (!entry.backupAddress.empty() && ++device->failedConnects >= entry.backupAfter) {
            device->onBackup = !device->onBackup;
            device->failedConnects = 0;
        }
        return code;
    }
    device->failedConnects = 0;
    // Some devices take requests only a while after accepting the connection.
    if (entry.connectPauseMs != 0 && !stop_.pause(std::chrono::milliseconds(entry.connectPauseMs)))
        return ErrorCode::kNotConnected;
    return ErrorCode::kSuccess;
}

std::string TcpTransport::activeEndpoint(uint16_t index) const {
    if (index == 0 || index > devices_.size())
        return {};
    const Device& device = devices_[index - 1];
    const DeviceEntry& entry = device.entry;
    return device.onBackup ? entry.backupAddress + ":" + std::to_string(entry.backupPort)
                           : entry.address + ":" + std::to_string(entry.tcpPort);
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
    if (device->entry.requestPauseMs != 0) {
        const auto due =
            device->lastReply + std::chrono::milliseconds(device->entry.requestPauseMs);
        const auto now = std::chrono::steady_clock::now();
        if (due > now &&
            !stop_.pause(std::chrono::duration_cast<std::chrono::milliseconds>(due - now) +
                         std::chrono::milliseconds(1)))
            return ErrorCode::kNotConnected;
    }
    const int code =
        device->connection.exchange(*frame, encoder_.lastTransactionId(), device->entry.unitId,
                                    std::chrono::milliseconds(device->entry.timeoutMs), reply_);
    device->lastReply = std::chrono::steady_clock::now();
    return code;
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
