// The OPC UA endpoint a server program announces on its stdout.
#pragma once

#include "ChildProcess.h"

#include <chrono>
#include <string>

namespace vorn::test {

// Reads the server's lines until its "listening opc.tcp://host:port" line and gives the
// endpoint on loopback with that port; empty when no such line comes within `timeout` per line.
inline std::string opcUaEndpointOf(ChildProcess& server,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(15)) {
    while (auto line = server.readLine(timeout)) {
        const auto at = line->rfind(':');
        if (line->find("listening opc.tcp://") != std::string::npos && at != std::string::npos)
            return "opc.tcp://127.0.0.1:" + line->substr(at + 1);
    }
    return {};
}

} // namespace vorn::test
