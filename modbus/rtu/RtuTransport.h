// The serial transport: Modbus RTU frames on termios lines. One SerialPort per configured port
// name (several devices may share a line); a port opens at the first selection of one of its
// devices and stays open until a write to it fails or a request gets no answer.
//
// Timing: the silent interval of the current device is kept before every request, and each
// request waits for the response timeout of the device it is sent to (selecting another device
// on an open line changes both; the line settings stay those the port was opened with). After a
// request ends without its reply, the next request on that line first waits out the device's
// timeout and discards what came meanwhile, so a late reply is not taken for the next one.
//
// Only the communication thread uses a transport.
#pragma once

#include "CommLog.h"
#include "SerialPort.h"
#include "modbus/ModbusTransport.h"
#include "modbus/SerialPortSettings.h"
#include "platform/Registry.h"

#include <memory>
#include <vector>

namespace vorn::modbus {

class RtuTransport : public ModbusTransport {
public:
    // `ports` are the configured lines (the first device naming a port set its settings);
    // `registry` maps port names to device paths; `log` records the frames while it is on.
    RtuTransport(const SerialPortList& ports, const Registry& registry, CommLog& log);

    [[nodiscard]] int start(std::vector<DeviceEntry> devices) override;
    [[nodiscard]] int selectDevice(uint16_t index) override;
    [[nodiscard]] int releaseDevice(uint16_t index) override;
    [[nodiscard]] int readRegisters(uint8_t functionCode, uint8_t kind, uint16_t count,
                                    uint16_t start, std::span<uint8_t> destination) override;
    [[nodiscard]] int writeMultiple(uint8_t functionCode, uint8_t kind, uint16_t count,
                                    uint16_t start, std::span<const uint8_t> data) override;
    [[nodiscard]] int writeSingle(uint8_t functionCode, uint8_t kind, uint16_t address,
                                  uint8_t high, uint8_t low) override;
    // Ports keep their line (open or not) unless their settings changed: those close, to
    // open with the new settings; ports new to the configuration are added.
    void reconfigure(std::vector<DeviceEntry> devices, const std::vector<uint16_t>& previous,
                     const SerialPortList& lines,
                     const std::vector<std::string>& changedLines) override;
    void closeAll() override;
    void stop() override { stop_.raise(); }

    // Times the port named `portName` has been opened (0 for a name not configured).
    size_t openCount(const std::string& portName) const;

private:
    enum class ReplyKind { read, writeMultiple, writeSingle };
    struct Expected {
        ReplyKind kind;
        size_t replyBytes;
        uint8_t registerKind = 0;
        uint16_t count = 0;
        std::span<uint8_t> destination{};
    };

    SerialPort* portNamed(const std::string& name);
    // Sends `pdu` to the current device and checks the answer as `expected` says.
    [[nodiscard]] int transact(std::span<const uint8_t> pdu, const Expected& expected);
    [[nodiscard]] static int checkReply(std::span<const uint8_t> reply,
                                        std::span<const uint8_t> request, const Expected& expected);

    StopSignal stop_; // before ports_, which refer to it
    Registry registry_;
    CommLog& log_;
    std::vector<std::unique_ptr<SerialPort>> ports_;
    std::vector<DeviceEntry> devices_;
    const DeviceEntry* currentDevice_ = nullptr;
    SerialPort* currentPort_ = nullptr;
};

} // namespace vorn::modbus
