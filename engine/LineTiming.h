// A transport that times each transaction of the device in use on that device's serial line
// (LineLoad) and otherwise hands every call to the real transport. Only the communication
// thread calls it, as any transport; stop() may come from any thread and is handed on.
#pragma once

#include "engine/LineLoad.h"
#include "modbus/ModbusTransport.h"

#include <vector>

namespace vorn::modbus {

class LineTiming : public ModbusTransport {
public:
    explicit LineTiming(ModbusTransport& transport) : transport_(transport) {}

    // The line of each device: device index i + 1 is lines[i]; a null line is not timed. Set
    // before the thread runs.
    void setLines(std::vector<LineLoad*> lines) { lines_ = std::move(lines); }

    int start(std::vector<DeviceEntry> devices) override;
    int selectDevice(uint16_t index) override;
    int releaseDevice(uint16_t index) override { return transport_.releaseDevice(index); }
    int readRegisters(uint8_t functionCode, uint8_t kind, uint16_t count, uint16_t start,
                      std::span<uint8_t> destination) override;
    int writeMultiple(uint8_t functionCode, uint8_t kind, uint16_t count, uint16_t start,
                      std::span<const uint8_t> data) override;
    int writeSingle(uint8_t functionCode, uint8_t kind, uint16_t address, uint8_t high,
                    uint8_t low) override;
    std::string activeEndpoint(uint16_t index) const override {
        return transport_.activeEndpoint(index);
    }
    void reconfigure(std::vector<DeviceEntry> devices, const std::vector<uint16_t>& previous,
                     const SerialPortList& lines,
                     const std::vector<std::string>& changedLines) override {
        transport_.reconfigure(std::move(devices), previous, lines, changedLines);
    }
    void closeAll() override;
    void stop() override { transport_.stop(); }

private:
    template <typename Transaction> int timed(Transaction transaction);

    ModbusTransport& transport_;
    std::vector<LineLoad*> lines_;
    uint16_t current_ = 0; // the device selected last, 0 = none
};

} // namespace vorn::modbus
