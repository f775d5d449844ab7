// The four Modbus tables a tag can live in, and the byte size of a run of their units.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorn::modbus {

// Fixed codes shared with the configuration: even codes are bit tables, odd codes registers.
namespace RegisterKind {
constexpr uint8_t kInputStatus = 2;
constexpr uint8_t kInputRegister = 3;
constexpr uint8_t kCoil = 4;
constexpr uint8_t kHoldingRegister = 5;
} // namespace RegisterKind

constexpr bool isKnownKind(uint8_t kind) {
    return kind >= RegisterKind::kInputStatus && kind <= RegisterKind::kHoldingRegister;
}
constexpr bool isBitKind(uint8_t kind) {
    return kind % 2 == 0;
}
constexpr bool isWritableKind(uint8_t kind) {
    return kind == RegisterKind::kCoil || kind == RegisterKind::kHoldingRegister;
}

// Bytes that `units` bits or registers of `kind` take on the wire.
constexpr size_t unitBytes(uint8_t kind, size_t units) {
    return isBitKind(kind) ? (units + 7) / 8 : 2 * units;
}

} // namespace vorn::modbus
