#include "BlockTransfer.h"

#include "modbus/ErrorCodes.h"
#include "modbus/RegisterKind.h"
#include "modbus/RequestSplit.h"
#include "modbus/TagShape.h"
#include "modbus/ValueDecoding.h"

#include <span>

namespace vorn::modbus {

namespace {

// Copies `count` bits from the start of `from` to bit `offset` of `to` (bits low first in
// each byte, as Modbus packs them).
void placeBits(const std::vector<uint8_t>& from, uint32_t count, std::vector<uint8_t>& to,
               uint32_t offset) {
    for (uint32_t i = 0; i < count; ++i) {
        const bool on = (from[i / 8] >> (i % 8)) & 1;
        const uint32_t at = offset + i;
        const auto mask = static_cast<uint8_t>(1u << (at % 8));
        to[at / 8] = static_cast<uint8_t>(on ? to[at / 8] | mask : to[at / 8] & ~mask);
    }
}

} // namespace

int readRun(ModbusTransport& transport, uint8_t readCode, uint8_t kind, uint16_t start,
            uint32_t length, std::vector<uint8_t>& buffer, const ReadLimits& limits) {
    const std::vector<RequestSlice> slices =
        splitIntoRequests(kind, start, length, limits.unitsPerRead(kind));
    if (slices.empty())
        return ErrorCode::kIllegalDataAddress; // a run past the last address cannot be asked for
    if (buffer.size() < unitBytes(kind, length))
        buffer.resize(unitBytes(kind, length));
    std::vector<uint8_t> unaligned;
    for (const RequestSlice& slice : slices) {
        const size_t bytes = unitBytes(kind, slice.count);
        if (isBitKind(kind) && slice.unitOffset % 8 != 0) {
            // A bit limit that is no multiple of 8 starts this slice mid-byte.
            unaligned.assign(bytes, 0);
            if (int code =
                    transport.readRegisters(readCode, kind, slice.count, slice.start, unaligned))
                return code;
            placeBits(unaligned, slice.count, buffer, slice.unitOffset);
            continue;
        }
        std::span<uint8_t> destination(buffer.data() + slice.byteOffset, bytes);
        if (int code =
                transport.readRegisters(readCode, kind, slice.count, slice.start, destination))
            return code;
    }
    return ErrorCode::kSuccess;
}

bool refusedForAHole(int code, size_t tagsInBlock) {
    return tagsInBlock > 1 &&
           (code == ErrorCode::kIllegalDataAddress || code == ErrorCode::kIllegalDataValue);
}

int readTagByTag(ModbusTransport& transport, uint8_t readCode, const std::vector<PolledTag*>& tags,
                 const ReadLimits& limits, std::vector<int>* tagCodes) {
    int outcome = ErrorCode::kSuccess;
    bool anyRead = false;
    std::vector<uint8_t> buffer;
    if (tagCodes)
        tagCodes->clear();
    for (PolledTag* tag : tags) {
        const int code = readRun(transport, readCode, tag->kind(), tag->address(),
                                 static_cast<uint32_t>(unitCount(tag->shape())), buffer, limits);
        if (tagCodes)
            tagCodes->push_back(code);
        if (code == ErrorCode::kSuccess) {
            anyRead = deliverValue(*tag, buffer, tag->address()) || anyRead;
            continue;
        }
        outcome = code;
        markFailed(*tag, code);
        if (isCommunicationError(code)) {
            if (tagCodes)
                tagCodes->resize(tags.size(), code);
            return code; // the device is gone: the other tags would only wait for it too
        }
    }
    return anyRead ? ErrorCode::kSuccess : outcome;
}

PollRead readPollBlock(ModbusTransport& transport, PollBlock& block, const ReadLimits& limits,
                       SplitLayouts& splitLayouts) {
    const auto layout = std::make_tuple(block.kind, block.start, block.length);
    const std::vector<PolledTag*> tags(block.members.begin(), block.members.end());
    PollRead read;
    if (!splitLayouts.contains(layout)) {
        block.readTagByTag.store(false);
        read.code = readRun(transport, block.readCode, block.kind, block.start, block.length,
                            block.buffer, limits);
        if (!refusedForAHole(read.code, tags.size()))
            return read;
        read.refusal = read.code;
        splitLayouts.insert(layout);
    }
    block.readTagByTag.store(true);
    read.code = readTagByTag(transport, block.readCode, tags, limits, &read.tagCodes);
    return read;
}

std::string unitsText(uint8_t kind, uint16_t start, uint16_t length) {
    return (isBitKind(kind) ? "bits " : "registers ") + std::to_string(start) + " to " +
           std::to_string(start + length - 1);
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
