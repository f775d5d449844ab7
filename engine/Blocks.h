// The runs of units the engine moves with one Modbus request (or a few consecutive ones for a
// large array): poll blocks, which live while they have members, and the read and write
// blocks built from one cycle's client requests.
#pragma once

#include "engine/EngineQueues.h"
#include "modbus/BlockGrouping.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <set>
#include <tuple>
#include <vector>

namespace vorn::modbus {

struct PollBlock {
    uint16_t start = 0;
    uint16_t length = 0; // units
    uint8_t kind = 0;
    uint8_t readCode = 0;
    uint32_t updateRate = 0; // milliseconds; 0 is never polled
    uint32_t lastTransfer = 0;
    bool visited = false; // dealt with in the current pass over its device
    std::vector<uint8_t> buffer;
    // Ordered by identity. Tags outlive the engine, which stops before the address space goes.
    std::set<PolledTag*> members;
    bool holdsArray = false; // an array always has a block of its own
    // The last poll read, for the status views: its error code (0 = good) and when it ended
    // (milliseconds since 1970; 0 = not read yet). Written by the communication thread, read
    // by any thread.
    std::atomic<int> lastResult{0};
    std::atomic<int64_t> lastReadMs{0};
    // When the last poll read was sent (communication thread only): the gap to the next one is
    // the device's read interval.
    std::chrono::steady_clock::time_point lastSent{};
    // The device refused this block as a whole (a hole it does not map): its tags are read
    // one by one. Written by the communication thread, read by the status views.
    std::atomic<bool> readTagByTag{false};

    UnitRun run() const { return UnitRun{kind, start, length}; }
};

// Poll block layouts (kind, start, length) a device refused as a whole.
using SplitLayouts = std::set<std::tuple<uint8_t, uint16_t, uint16_t>>;

// A block of one cycle's client reads or writes of one device.
struct ClientBlock {
    uint16_t start = 0;
    uint16_t length = 0;
    uint8_t kind = 0;
    uint8_t readCode = 0;
    uint8_t writeCode = 0;
    uint8_t singleWriteCode = 0;
    bool holdsArray = false;
    std::vector<uint8_t> buffer;
    std::vector<QueuedRequest> requests; // in arrival order

    UnitRun run() const { return UnitRun{kind, start, length}; }
};

// The engine's state of one configured device.
struct EngineDevice {
    SOCmnPointer<PlcDevice> device;
    uint16_t index = 0;                                 // 1-based position in the device list
    std::vector<std::unique_ptr<PollBlock>> pollBlocks; // in creation order
    std::set<PollBlock*> toRecompute;
    size_t rotation = 0; // position of the next poll block to poll
    std::vector<ClientBlock> readBlocks;
    std::vector<ClientBlock> writeBlocks;
    // Poll block layouts (kind, start, length) the device refused as a whole; their tags are
    // read one by one until the server restarts. Communication thread only.
    SplitLayouts splitLayouts;

    bool owns(const PollBlock* block) const;
    bool allVisited() const;
    void clearVisited();
};

} // namespace vorn::modbus
