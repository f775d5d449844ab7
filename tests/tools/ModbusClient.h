// A libmodbus client context owned for one test, with bounded response timeouts.
#pragma once

#include <chrono>
#include <cstdint>
#include <modbus/modbus.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace vorn::test {

class ModbusClient {
public:
    static constexpr std::chrono::milliseconds kResponseTimeout{1000};

    static ModbusClient tcp(const std::string& host, int port, int unit) {
        return ModbusClient(modbus_new_tcp(host.c_str(), port), unit);
    }
    static ModbusClient rtu(const std::string& device, int unit) {
        return ModbusClient(modbus_new_rtu(device.c_str(), 9600, 'N', 8, 1), unit);
    }

    ModbusClient(ModbusClient&& other) noexcept : context_(other.context_) {
        other.context_ = nullptr;
    }
    ModbusClient& operator=(ModbusClient&&) = delete;
    ~ModbusClient() {
        if (context_ != nullptr) {
            modbus_close(context_);
            modbus_free(context_);
        }
    }

    modbus_t* get() const { return context_; }
    void setUnit(int unit) { modbus_set_slave(context_, unit); }
    void setResponseTimeout(std::chrono::milliseconds timeout) {
        modbus_set_response_timeout(context_, static_cast<uint32_t>(timeout.count() / 1000),
                                    static_cast<uint32_t>(timeout.count() % 1000) * 1000);
    }

    // The registers read, or throws with libmodbus's reason (errno is kept for the caller).
    std::vector<uint16_t> readHolding(int start, int count) {
        std::vector<uint16_t> values(static_cast<std::size_t>(count));
        if (modbus_read_registers(context_, start, count, values.data()) != count)
            throw std::runtime_error(std::string("read failed: ") + modbus_strerror(errno));
        return values;
    }

private:
    ModbusClient(modbus_t* context, int unit) : context_(context) {
        if (context_ == nullptr)
            throw std::runtime_error("cannot make a libmodbus context");
        modbus_set_slave(context_, unit);
        setResponseTimeout(kResponseTimeout);
        if (modbus_connect(context_) != 0) {
            std::string reason = modbus_strerror(errno);
            modbus_free(context_);
            context_ = nullptr;
            throw std::runtime_error("cannot connect: " + reason);
        }
    }

    modbus_t* context_ = nullptr;
};

} // namespace vorn::test
