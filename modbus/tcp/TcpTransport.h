// The Modbus TCP transport: one connection per device, one device current at a time, and the
// three Modbus transactions carried with the MBAP header in front of each PDU. Every request
// carries the next transaction identifier, so a late reply is never taken for the answer to a
// later request. Only the communication thread calls it.
#pragma once

#include "TcpConnection.h"
#include "modbus/ModbusTransport.h"
#include "modbus/tcp/MbapEncoder.h"

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vorn::modbus {

class TcpTransport final : public ModbusTransport {
public:
    TcpTransport() = default;
    ~TcpTransport() override;
    TcpTransport(const TcpTransport&) = delete;
    TcpTransport& operator=(const TcpTransport&) = delete;

    // Closes the connections of an earlier table; always 0 (nothing else to start on POSIX).
    [[nodiscard]] int start(std::vector<DeviceEntry> devices) override;
    // Opens the device's connection if closed (within 1 s) and makes it current in every case,
    // then pauses as the device asks. 0, or the open's code (18, 32, 50, 51); 50 for an index
    // outside the table, 18 before start. A device with a backup address changes to the other
    // address after its backupAfter-th failed connect in a row, and stays there until
    // connects to that one fail as often.
    [[nodiscard]] int selectDevice(uint16_t index) override;
    // Closes the device's connection; 0.
    [[nodiscard]] int releaseDevice(uint16_t index) override;

    // Each transaction: 33 without a current device or with its connection closed, 50 for a
    // request that cannot be formed (nothing sent), else the exchange's code, the exception
    // codes, or 52 for a reply that does not answer the request.
    [[nodiscard]] int readRegisters(uint8_t functionCode, uint8_t kind, uint16_t count,
                                    uint16_t start, std::span<uint8_t> destination) override;
    [[nodiscard]] int writeMultiple(uint8_t functionCode, uint8_t kind, uint16_t count,
                                    uint16_t start, std::span<const uint8_t> data) override;
    [[nodiscard]] int writeSingle(uint8_t functionCode, uint8_t kind, uint16_t address,
                                  uint8_t high, uint8_t low) override;

    std::string activeEndpoint(uint16_t index) const override;
    // Kept devices keep their connection (and which address they use); the others close.
    void reconfigure(std::vector<DeviceEntry> devices, const std::vector<uint16_t>& previous,
                     const SerialPortList& lines,
                     const std::vector<std::string>& changedLines) override;
    void closeAll() override;
    void stop() override { stop_.raise(); }

    // 1-based index of the current device, 0 for none.
    uint16_t currentDevice() const { return current_; }
    bool isConnected(uint16_t index) const;

private:
    struct Device {
        DeviceEntry entry;
        TcpConnection connection;
        bool onBackup = false;
        uint32_t failedConnects = 0; // in a row, to the address in use
        std::chrono::steady_clock::time_point lastReply{};
    };

    Device* deviceAt(uint16_t index);
    // Sends `pdu` to the current device; on 0 its reply PDU is in reply_.
    [[nodiscard]] int transfer(std::span<const uint8_t> pdu);

    StopSignal stop_;
    std::vector<Device> devices_;
    uint16_t current_ = 0;
    MbapEncoder encoder_;
    std::vector<uint8_t> reply_;
};

} // namespace vorn::modbus
