#include "ClientTransfers.h"

#include "engine/BlockTransfer.h"
#include "modbus/ErrorCodes.h"
#include "modbus/RegisterKind.h"
#include "modbus/ValueEncoding.h"
#include "modbus/WriteFit.h"
#include "modbus/WritePreparation.h"

#include <algorithm>
#include <chrono>

namespace vorn::modbus {
namespace {

// Quality of a write to a table that cannot be written (discrete inputs, input registers):
// the tag is configured where no write can go.
constexpr uint16_t kNotWritableQuality = vorn::Quality::kBadConfigError;
// Result of a write preparation whose values cannot be encoded (no error code of the device).
constexpr int kNotEncodable = -1;

// Quality of a write whose value does not fit the tag's configured length or bytes.
constexpr uint16_t kOutOfRangeQuality = vorn::Quality::kBadConfigError;

UnitRun configuredRun(const PolledTag& tag) {
    return UnitRun{tag.kind(), tag.address(), static_cast<uint32_t>(unitCount(tag.shape()))};
}

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

void growTo(ClientBlock& block, const UnitRun& run) {
    const UnitRun covering = coveringRun(block.run(), run);
    block.start = static_cast<uint16_t>(covering.start);
    block.length = static_cast<uint16_t>(std::min<uint32_t>(covering.length, 0xFFFF));
}

void completeRead(SODaSRequest& request) {
    request.complete(S_OK, false, vorn::Quality::kUncertain, false, true);
}

} // namespace

void completeWrite(SODaSRequest& request, bool succeeded, uint16_t failureQuality) {
    if (!(request.getState() & SODaSRequest::kStateStarted))
        return;
    if (succeeded)
        request.complete(S_OK, false, vorn::Quality::kUncertain, false, true);
    else
        request.complete(E_FAIL, true, failureQuality, false, true);
}

void ClientTransfers::addRead(EngineDevice& device, QueuedRequest entry) const {
    PolledTag& tag = *entry.tag;
    const UnitRun run = configuredRun(tag);
    if (run.length == 0) {
        completeRead(*entry.request); // a tag of no units is never transferred
        return;
    }
    if (!tag.isArray()) {
        const ReadLimits& limits = device.device->readLimits;
        for (ClientBlock& block : device.readBlocks) {
            if (block.holdsArray || isClosedToJoins(block.run(), serialLine_, limits))
                continue;
            if (passesJoinTest(block.run(), run, limits)) {
                growTo(block, run);
                block.requests.push_back(std::move(entry));
                return;
            }
        }
    }
    ClientBlock block;
    block.start = tag.address();
    block.length = static_cast<uint16_t>(std::min<uint32_t>(run.length, 0xFFFF));
    block.kind = tag.kind();
    block.readCode = functionCodes_.readCode(tag.kind());
    block.holdsArray = tag.isArray();
    block.requests.push_back(std::move(entry));
    device.readBlocks.push_back(std::move(block));
}

void ClientTransfers::addWrite(EngineDevice& device, QueuedRequest entry) const {
    PolledTag& tag = *entry.tag;
    if (!isWritableKind(tag.kind())) {
        completeWrite(*entry.request, false, kNotWritableQuality);
        return;
    }
    const UnitRun configured = configuredRun(tag);
    const WriteFit fit = writeFit(tag.shape(), entry.request->getWriteValue());
    if (fit == WriteFit::outOfRange) {
        completeWrite(*entry.request, false, kOutOfRangeQuality);
        return;
    }
    if (configured.length == 0 || fit != WriteFit::fits) {
        completeWrite(*entry.request, false, vorn::Quality::kBad);
        return;
    }
    if (!tag.isArray()) {
        for (ClientBlock& block : device.writeBlocks) {
            if (block.holdsArray || isClosedToJoins(block.run(), serialLine_))
                continue;
            if (mayJoinWriteBlock(block.run(), configured)) {
                growTo(block, configured);
                block.requests.push_back(std::move(entry));
                return;
            }
        }
    }
    const FunctionCodes codes = functionCodes_.lookup(tag.kind());
    ClientBlock block;
    block.start = tag.address();
    block.length = static_cast<uint16_t>(std::min<uint32_t>(configured.length, 0xFFFF));
    block.kind = tag.kind();
    block.readCode = codes.read;
    block.writeCode = codes.write;
    block.singleWriteCode = codes.singleWrite;
    block.holdsArray = tag.isArray();
    block.requests.push_back(std::move(entry));
    device.writeBlocks.push_back(std::move(block));
}

void ClientTransfers::serveReads(EngineDevice& device, ModbusTransport& transport,
                                 const TransferReport& report) const {
    for (ClientBlock& block : device.readBlocks) {
        const auto sent = std::chrono::steady_clock::now();
        int code = readRun(transport, block.readCode, block.kind, block.start, block.length,
                           block.buffer, device.device->readLimits);
        std::vector<PolledTag*> tags;
        for (const QueuedRequest& entry : block.requests)
            if (std::find(tags.begin(), tags.end(), entry.tag.get()) == tags.end())
                tags.push_back(entry.tag.get());
        const bool tagByTag = refusedForAHole(code, tags.size());
        if (tagByTag) // a hole the device does not map: each tag still reads on its own
            code = readTagByTag(transport, block.readCode, tags, device.device->readLimits);
        report(code, msSince(sent));
        std::lock_guard lock(engineLock_);
        for (QueuedRequest& entry : block.requests) {
            if (tagByTag) {
                // each tag has its own value or quality already
            } else if (code != ErrorCode::kSuccess) {
                markFailed(*entry.tag, code);
            } else {
                deliverValue(*entry.tag, block.buffer, block.start);
            }
            completeRead(*entry.request);
        }
    }
    device.readBlocks.clear();
}

void failRead(QueuedRequest& entry, int code) {
    markFailed(*entry.tag, code);
    completeRead(*entry.request);
}

void failWrite(QueuedRequest& entry, int code) {
    completeWrite(*entry.request, false, qualityOf(code));
}

void ClientTransfers::failWithoutSending(EngineDevice& device, int code) const {
    std::lock_guard lock(engineLock_);
    for (ClientBlock& block : device.readBlocks)
        for (QueuedRequest& entry : block.requests)
            failRead(entry, code);
    for (ClientBlock& block : device.writeBlocks)
        for (QueuedRequest& entry : block.requests)
            failWrite(entry, code);
    device.readBlocks.clear();
    device.writeBlocks.clear();
}

int ClientTransfers::prepareWrite(ClientBlock& block, ModbusTransport& transport,
                                  const ReadLimits& limits) const {
    std::vector<QueuedWrite> writes;
    for (const QueuedRequest& entry : block.requests)
        writes.push_back(QueuedWrite{entry.tag->shape(), configuredRun(*entry.tag).length});
    const bool singleFunction = block.length == 1 && block.singleWriteCode != 0;

    const size_t bytes = std::max<size_t>(unitBytes(block.kind, block.length), 2);
    block.buffer.assign(bytes, 0);
    if (needsReadBeforeWrite(block.run(), writes, singleFunction)) {
        const int code = readRun(transport, block.readCode, block.kind, block.start, block.length,
                                 block.buffer, limits);
        if (code != ErrorCode::kSuccess)
            return code; // the write fails as the read did
    }
    for (QueuedRequest& entry : block.requests) {
        if (encodeTagValue(entry.tag->shape(), entry.request->getWriteValue(), block.buffer,
                           block.start, false) != EncodeStatus::ok)
            return kNotEncodable;
    }
    return ErrorCode::kSuccess;
}

int ClientTransfers::sendWrite(const ClientBlock& block, ModbusTransport& transport) const {
    if (block.length == 1 && block.singleWriteCode != 0) {
        if (isBitKind(block.kind)) {
            const bool on = (block.buffer[0] & 0x01) != 0;
            return transport.writeSingle(block.singleWriteCode, block.kind, block.start,
                                         on ? 0xFF : 0x00, 0x00);
        }
        return transport.writeSingle(block.singleWriteCode, block.kind, block.start,
                                     block.buffer[0], block.buffer[1]);
    }
    return writeRun(transport, block.writeCode, block.kind, block.start, block.length,
                    block.buffer);
}

void ClientTransfers::serveWrites(EngineDevice& device, ModbusTransport& transport,
                                  const TransferReport& report) const {
    for (ClientBlock& block : device.writeBlocks) {
        int code;
        const auto sent = std::chrono::steady_clock::now();
        {
            std::lock_guard lock(engineLock_);
            code = prepareWrite(block, transport, device.device->readLimits);
        }
        if (code == ErrorCode::kSuccess)
            code = sendWrite(block, transport);
        if (code != kNotEncodable) // the read before it, or the write, went to the device
            report(code, msSince(sent));
        std::lock_guard lock(engineLock_);
        for (QueuedRequest& entry : block.requests) {
            if (code == kNotEncodable)
                completeWrite(*entry.request, false, vorn::Quality::kBad);
            else
                completeWrite(*entry.request, code == ErrorCode::kSuccess, qualityOf(code));
        }
    }
    device.writeBlocks.clear();
}

} // namespace vorn::modbus
