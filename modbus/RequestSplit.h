// A run of units read or written as consecutive requests of at most 123 registers or 1968 bits,
// or fewer for a device that takes less in one read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vorn::modbus {

struct RequestSlice {
    uint16_t start = 0;      // first unit of this request
    uint16_t count = 0;      // units in this request
    size_t byteOffset = 0;   // where its data sits in the run's buffer
    uint32_t unitOffset = 0; // its first unit's place in the run (a bit slice may start mid-byte)
};

// Slices covering `length` units of `kind` from `start`, in address order. Empty when the run is
// empty, of an unknown kind, or would pass the end of the address space (65535).
std::vector<RequestSlice> splitIntoRequests(uint8_t kind, uint16_t start, uint32_t length);
// The same with at most `unitsPerRequest` units a request (1 up to the protocol's limit).
std::vector<RequestSlice> splitIntoRequests(uint8_t kind, uint16_t start, uint32_t length,
                                            uint32_t unitsPerRequest);

} // namespace vorn::modbus
