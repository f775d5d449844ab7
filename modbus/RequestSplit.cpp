#include "RequestSplit.h"

#include "RegisterKind.h"
#include "RequestPdu.h"

#include <algorithm>

namespace vorn::modbus {

constexpr uint32_t kAddressSpaceUnits = 0x10000;

std::vector<RequestSlice> splitIntoRequests(uint8_t kind, uint16_t start, uint32_t length) {
    std::vector<RequestSlice> slices;
    if (!isKnownKind(kind) || length == 0 || start + length > kAddressSpaceUnits)
        return slices;
    const uint32_t limit = maxUnitsPerRequest(kind);
    for (uint32_t done = 0; done < length;) {
        const uint32_t count = std::min(limit, length - done);
        // Every full slice is a multiple of 8 bits, so bit slices start on a byte boundary.
        slices.push_back(RequestSlice{static_cast<uint16_t>(start + done),
                                      static_cast<uint16_t>(count), unitBytes(kind, done)});
        done += count;
    }
    return slices;
}

} // namespace vorn::modbus
