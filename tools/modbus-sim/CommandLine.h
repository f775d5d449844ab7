// The simulator's command line (documented in README.md).
#pragma once

#include "FaultSwitches.h"
#include "Generators.h"
#include "ValueSyntax.h"

#include <optional>
#include <string>
#include <vector>

namespace modbus_sim {

struct TcpEndpoint {
    std::string address; // IPv4, numeric
    // One listening socket per port, each a device of its own on the wire (they share the
    // units' data). 0: any free port, reported once listening.
    std::vector<int> ports;
};

struct SerialSettings {
    std::string device;
    int baud = 9600;
    int dataBits = 8;
    char parity = 'N'; // N, E or O
    int stopBits = 1;
};

struct SimOptions {
    std::optional<TcpEndpoint> tcp;
    std::optional<SerialSettings> rtu;
    std::vector<int> units;
    std::vector<std::string> valuesFiles; // applied first, in order
    std::vector<Assignment> assignments;  // --set, applied after the values files
    std::vector<Generator> generators;
    FaultSwitches faults;
    std::string logPath;   // empty: no request log
    std::string readyFile; // empty: none
    bool help = false;
    bool version = false;
};

// Throws SyntaxError with a message naming the offending option.
SimOptions parseCommandLine(int argc, char** argv);

const char* usageText();

} // namespace modbus_sim
