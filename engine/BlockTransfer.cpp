#include "BlockTransfer.h"

#include "modbus/ErrorCodes.h"
#include "modbus/RegisterKind.h"
#include "modbus/RequestSplit.h"
#include "modbus/ValueDecoding.h"

#include <span>

namespace vorn::modbus {

int readRun(ModbusTransport& transport, uint8_t readCode, uint8_t kind, uint16_t start,
            uint32_t length, std::vector<uint8_t>& buffer) {
    const std::vector<RequestSlice> slices = splitIntoRequests(kind, start, length);
    if (slices.empty())
        return ErrorCode::kIllegalDataAddress; // a run past the last address cannot be asked for
    if (buffer.size() < unitBytes(kind, length))
        buffer.resize(unitBytes(kind, length));
    for (const RequestSlice& slice : slices) {
        std::span<uint8_t> destination(buffer.data() + slice.byteOffset,
                                       unitBytes(kind, slice.count));
        if (int code =
                transport.readRegisters(readCode, kind, slice.count, slice.start, destination))
            return code;
    }
    return ErrorCode::kSuccess;
}

int writeRun(ModbusTransport& transport, uint8_t writeCode, uint8_t kind, uint16_t start,
             uint32_t length, const std::vector<uint8_t>& buffer) {
    const std::vector<RequestSlice> slices = splitIntoRequests(kind, start, length);
    if (slices.empty() || buffer.size() < unitBytes(kind, length))
        return ErrorCode::kIllegalDataAddress;
    for (const RequestSlice& slice : slices) {
        std::span<const uint8_t> data(buffer.data() + slice.byteOffset,
                                      unitBytes(kind, slice.count));
        if (int code = transport.writeMultiple(writeCode, kind, slice.count, slice.start, data))
            return code;
    }
    return ErrorCode::kSuccess;
}

bool deliverValue(PolledTag& tag, const std::vector<uint8_t>& data, uint16_t start) {
    std::optional<Variant> value = decodeTagValue(tag.shape(), data, start);
    if (!value)
        return false;
    tag.getCache()->setValueAndQuality(*value, Quality::kGood);
    return true;
}

void markFailed(PolledTag& tag, int code) {
    tag.getCache()->setQuality(qualityOf(code));
}

} // namespace vorn::modbus
