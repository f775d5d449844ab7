// What tells the two servers apart towards the outside: titles, registration data, the
// registry key, the error-text file and the default OPC UA port.
#pragma once

#include "config/ServerProfile.h"

#include <cstdint>
#include <string>

namespace vorn {

struct ServerIdentity {
    ServerKind kind;
    const char* programName;     // "Tarnvale"
    const char* title;           // window title and base of the registered description
    const char* progId;          // version-independent ProgID
    const char* progIdVersioned; // ProgID with version
    const char* description;     // registered description
    const char* clsid;           // fixed class identifier of the server
    const char* errorTextFile;   // beside the program
    uint16_t defaultOpcUaPort;
};

const ServerIdentity& identityOf(ServerKind kind);

// Status fields every client can read.
inline constexpr uint16_t kVersionMajor = 1;
inline constexpr uint16_t kVersionMinor = 10;
inline constexpr uint16_t kVersionBuild = 100;
inline constexpr const char* kVendorText = "Vorn Automation, Industriestrasse 12, 8400 Winterthur";

} // namespace vorn
