// One contact with every device, for "--check-config --probe": each device selected once and
// its poll blocks read as the engine reads them, telling which blocks the device refuses as a
// whole (and so are read tag by tag) and which devices cannot be reached. The transport's own
// timeouts bound every wait; a device that does not answer costs at most its connect and one
// read.
#pragma once

#include "engine/Blocks.h"
#include "modbus/ModbusTransport.h"

#include <string>
#include <vector>

namespace vorn::modbus {

struct ProbedTag {
    std::string itemId;
    int code = 0; // its own read: 0, or the device's answer
};

// A block the device refused as a whole, and how its tags read one by one.
struct ProbedSplit {
    std::string device;
    std::string units; // "registers 10 to 12"
    int refusal = 0;   // the code the whole block was refused with
    std::vector<ProbedTag> tags;
};

struct ProbedDevice {
    std::string name;
    std::string endpoint; // where the transport reached for it, when it has addresses
    int code = 0;         // a communication error: the device could not be reached
    size_t blocksRead = 0;
};

struct ProbeReport {
    std::vector<ProbedDevice> devices; // in the order given
    std::vector<ProbedSplit> splits;
};

// Probes `devices` (index i + 1 of the transport's table is devices[i], their poll blocks
// placed) over `transport`, which it starts and closes again.
ProbeReport probeDevices(std::vector<EngineDevice>& devices, ModbusTransport& transport);

} // namespace vorn::modbus
