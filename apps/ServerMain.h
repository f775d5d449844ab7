// The program entry shared by both servers: command line, window, start, event loop and
// shutdown. Each server's main() supplies its kind and its transport.
#pragma once

#include "opc/ServerCore.h"

namespace vorn::modbus {
class CommLog;
}

namespace vorn {

// Runs the server and returns the process's exit code. `commLog` is the serial server's
// communication log, switched from the window; null for the TCP server.
int runServer(ServerKind kind, int argc, char** argv, ServerCore::TransportFactory makeTransport,
              modbus::CommLog* commLog = nullptr);

} // namespace vorn
