// Protocol constants of Modbus application PDUs and of the Modbus TCP header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorn::modbus {

namespace FunctionCode {
constexpr uint8_t kReadCoils = 1;
constexpr uint8_t kReadDiscreteInputs = 2;
constexpr uint8_t kReadHoldingRegisters = 3;
constexpr uint8_t kReadInputRegisters = 4;
constexpr uint8_t kWriteSingleCoil = 5;
constexpr uint8_t kWriteSingleRegister = 6;
constexpr uint8_t kWriteMultipleCoils = 15;
constexpr uint8_t kWriteMultipleRegisters = 16;
constexpr uint8_t kExceptionFlag = 0x80;
} // namespace FunctionCode

// Largest data part of one request or reply; a block never exceeds it unless an array needs more.
// 123 registers and 1968 bits are this system's block limits (246 data bytes, the size a write
// of many registers can carry), below the protocol's read maxima of 125 registers and 2000 bits.
constexpr size_t kMaxDataBytes = 246;
constexpr uint16_t kMaxRegistersPerRequest = 123;
constexpr uint16_t kMaxBitsPerRequest = 1968;
// Largest PDU (function code + 252 bytes) and the MBAP header in front of it.
constexpr size_t kMaxPduBytes = 253;
constexpr size_t kMbapHeaderBytes = 7; // transaction, protocol, length, unit
constexpr size_t kMaxTcpFrameBytes = kMbapHeaderBytes + kMaxPduBytes;
constexpr uint16_t kMbapProtocolId = 0;

// Single-coil write values.
constexpr uint8_t kCoilOnHigh = 0xFF;
constexpr uint8_t kCoilOffHigh = 0x00;

} // namespace vorn::modbus
