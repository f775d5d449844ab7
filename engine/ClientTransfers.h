// Client reads from the device and client writes of one cycle: grouped per device into read
// and write blocks, transferred, and completed towards the clients.
#pragma once

#include "engine/Blocks.h"
#include "modbus/ModbusTransport.h"
#include "modbus/ModbusTypeTable.h"

#include <functional>
#include <mutex>

namespace vorn::modbus {

// Hears how each transfer for a client went: the code (0 = success) and, when it reached the
// wire, how long it took. Called on the communication thread.
using TransferReport = std::function<void(int code, double roundTripMs)>;

class ClientTransfers {
public:
    ClientTransfers(const ModbusTypeTable& functionCodes, bool serialLine, std::mutex& engineLock)
        : functionCodes_(functionCodes), serialLine_(serialLine), engineLock_(engineLock) {}

    // Grouping; the caller holds the engine lock.
    void addRead(EngineDevice& device, QueuedRequest entry) const;
    void addWrite(EngineDevice& device, QueuedRequest entry) const;

    // Transfers the device's blocks of this cycle, completes their requests and drops them;
    // `report` hears each block's outcome (a write that could not be encoded sent nothing).
    void serveReads(EngineDevice& device, ModbusTransport& transport,
                    const TransferReport& report) const;
    void serveWrites(EngineDevice& device, ModbusTransport& transport,
                     const TransferReport& report) const;
    // Answers the device's reads and writes of this cycle at once with the failure `code`,
    // sending nothing: the device is not tried now (see RetrySchedule).
    void failWithoutSending(EngineDevice& device, int code) const;

private:
    // Fills the block's buffer with what it writes, reading the block first where needed: 0, the
    // error code of that read, or a negative code when the values cannot be encoded.
    [[nodiscard]] int prepareWrite(ClientBlock& block, ModbusTransport& transport,
                                   const ReadLimits& limits) const;
    [[nodiscard]] int sendWrite(const ClientBlock& block, ModbusTransport& transport) const;

    const ModbusTypeTable& functionCodes_;
    const bool serialLine_;
    std::mutex& engineLock_;
};

// Answer a client's read or write with the failure `code` without sending anything; the caller
// holds the engine lock.
void failRead(QueuedRequest& entry, int code);
void failWrite(QueuedRequest& entry, int code);

// Completes a write request with success, or with a failure and its quality. Requests that the
// toolkit did not start (its test mode) are left alone.
void completeWrite(SODaSRequest& request, bool succeeded, uint16_t failureQuality);

} // namespace vorn::modbus
