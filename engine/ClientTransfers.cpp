#include "ClientTransfers.h"

#include "engine/BlockTransfer.h"
#include "modbus/ErrorCodes.h"
#include "modbus/RegisterKind.h"
#include "modbus/ValueEncoding.h"
#include "modbus/WriteFit.h"
#include "modbus/WritePreparation.h"

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
        for (ClientBlock& block : device.readBlocks) {
            if (block.holdsArray || isClosedToJoins(block.run(), serialLine_))
                continue;
            if (passesJoinTest(block.run(), run)) {
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
        const int code =
            readRun(transport, block.readCode, block.kind, block.start, block.length, block.buffer);
        report(code, msSince(sent));
        std::lock_guard lock(engineLock_);
        for (QueuedRequest& entry : block.requests) {
            if (code != ErrorCode::kSuccess)
                markFailed(*entry.tag, code);
            else
                deliverValue(*entry.tag, block.buffer, block.start);
            completeRead(*entry.request);
        }
    }
    device.readBlocks.clear();
}

int ClientTransfers::prepareWrite(ClientBlock& block, ModbusTransport& transport) const {
    std::vector<QueuedWrite> writes;
    for (const QueuedRequest& entry : block.requests)
        writes.push_back(QueuedWrite{entry.tag->shape(), configuredRun(*entry.tag).length});
    const bool singleFunction = block.length == 1 && block.singleWriteCode != 0;

    const size_t bytes = std::max<size_t>(unitBytes(block.kind, block.length), 2);
    block.buffer.assign(bytes, 0);
    if (needsReadBeforeWrite(block.run(), writes, singleFunction)) {
        const int code =
            readRun(transport, block.readCode, block.kind, block.start, block.length, block.buffer);
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
            code = prepareWrite(block, transport);
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
