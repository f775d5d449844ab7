// The program entry shared by both servers: command line, window, start, event loop and
// shutdown. Each server's main() supplies its kind and its transport.
#pragma once

#include "server/GatewayServer.h"

namespace vorn::modbus {
class CommLog;
}

namespace vorn {

// Runs the server and returns the process's exit code. `commLog` is the serial server's
// communication log, switched from the window; null for the TCP server.
int runServer(ServerKind kind, int argc, char** argv, GatewayServer::TransportFactory makeTransport,
              modbus::CommLog* commLog = nullptr);

} // namespace vorn
