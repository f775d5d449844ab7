// "--check-config": loads a configuration as the server would, without devices or clients,
// and tells what it skipped or degraded and what is left to serve; with "--probe" it then
// contacts each device once.
#pragma once

#include "engine/DeviceProbe.h"
#include "server/GatewayServer.h"

#include <cstdio>
#include <string>
#include <vector>

namespace vorn {

struct ConfigCheckReport {
    std::vector<std::string> places;   // where the configuration was looked for
    std::vector<std::string> findings; // the loader's trace lines: skipped or degraded elements
    // Rennick: each serial port with the device it stands for and whence ("COM1 = /dev/ttyUSB0
    // (registry value COM1 under [...\Ports])").
    std::vector<std::string> ports;
    bool loaded = false; // a file was found and its structure was sound
    size_t devices = 0;
    size_t tags = 0;
    // Poll blocks the readable tags form when polled at one update rate: the Modbus requests
    // of one pass at any rate a client chooses.
    size_t pollBlocks = 0;

    bool clean() const { return loaded && findings.empty() && devices > 0; }
};

// Loads `core`'s configuration (its config path, else the usual search) and collects the
// report; every trace line the loader writes meanwhile is captured, not printed.
ConfigCheckReport checkConfiguration(GatewayServer& core);

// Prints the report; returns the exit code (0 clean, 1 otherwise).
int printConfigCheck(const ConfigCheckReport& report, std::FILE* out);

// "--check-config --probe": contacts each device of the loaded configuration once over
// `transport` and reads its poll blocks as the engine would (see modbus::probeDevices).
modbus::ProbeReport probeConfiguration(GatewayServer& core, modbus::ModbusTransport& transport);

// Prints the blocks the devices refuse as a whole, with each tag's own read, and the devices
// that could not be reached. The exit code stays the file check's: a device that is off today
// does not make the file wrong.
void printProbe(const modbus::ProbeReport& report, std::FILE* out);

} // namespace vorn
