#include "RequestSplit.h"

#include "RegisterKind.h"
#include "RequestPdu.h"

#include <algorithm>

namespace vorn::modbus {

constexpr uint32_t kAddressSpaceUnits = 0x10000;

std::vector<RequestSlice> splitIntoRequests(uint8_t kind, uint16_t start, uint32_t length) {
    return splitIntoRequests(kind, start, length, isKnownKind(kind) ? maxUnitsPerRequest(kind) : 0);
}

std::vector<RequestSlice> splitIntoRequests(uint8_t kind, uint16_t start, uint32_t length,
                                            uint32_t unitsPerRequest) {
    std::vector<RequestSlice> slices;
    if (!isKnownKind(kind) || length == 0 || start + length > kAddressSpaceUnits ||
        unitsPerRequest == 0)
        return slices;
    const uint32_t limit = std::min<uint32_t>(unitsPerRequest, maxUnitsPerRequest(kind));
    for (uint32_t done = 0; done < length;) {
        const uint32_t count = std::min(limit, length - done);
        // With the protocol's limit every full slice is a multiple of 8 bits, so bit slices
        // start on a byte boundary; a smaller limit may leave one starting mid-byte.
        slices.push_back(RequestSlice{static_cast<uint16_t>(start + done),
                                      static_cast<uint16_t>(count), unitBytes(kind, done), done});
        done += count;
    }
    return slices;
}

} // namespace vorn::modbus
