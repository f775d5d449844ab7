// Protocol constants of Modbus application PDUs and of the Modbus TCP header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorn::modbus {

namespace FunctionCode {
constexpr uint8_t readCoils = 1;
constexpr uint8_t readDiscreteInputs = 2;
constexpr uint8_t readHoldingRegisters = 3;
constexpr uint8_t readInputRegisters = 4;
constexpr uint8_t writeSingleCoil = 5;
constexpr uint8_t writeSingleRegister = 6;
constexpr uint8_t writeMultipleCoils = 15;
constexpr uint8_t writeMultipleRegisters = 16;
constexpr uint8_t exceptionFlag = 0x80;
} // namespace FunctionCode

// Largest data part of one request or reply; a block never exceeds it unless an array needs more.
constexpr size_t maxDataBytes = 246;
constexpr uint16_t maxRegistersPerRequest = 123;
constexpr uint16_t maxBitsPerRequest = 1968;
// Largest PDU (function code + 252 bytes) and the MBAP header in front of it.
constexpr size_t maxPduBytes = 253;
constexpr size_t mbapHeaderBytes = 7; // transaction, protocol, length, unit
constexpr size_t maxTcpFrameBytes = mbapHeaderBytes + maxPduBytes;
constexpr uint16_t mbapProtocolId = 0;

// Single-coil write values.
constexpr uint8_t coilOnHigh = 0xFF;
constexpr uint8_t coilOffHigh = 0x00;

} // namespace vorn::modbus
