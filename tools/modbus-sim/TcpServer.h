// Modbus TCP: one listening socket per port and up to kMaxClients connections per port, served
// from one poll loop.
#pragma once

#include "CommandLine.h"
#include "Generators.h"
#include "RequestHandler.h"
#include "ShutdownSignal.h"

#include <list>
#include <string>
#include <vector>

namespace modbus_sim {

class TcpServer {
public:
    static constexpr std::size_t kMaxClients = 64;

    // Throws std::runtime_error when the address cannot be listened on.
    TcpServer(const TcpEndpoint& endpoint, DeviceImage& image, const FaultSwitches& faults,
              RequestLog& log);
    ~TcpServer();
    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    // "ADDRESS:PORT[,PORT...]" with the ports actually bound, in the order given.
    std::string where() const { return where_; }
    // Serves until a shutdown signal arrives.
    void run(Generators& generators, const ShutdownSignal& shutdown);

private:
    void listenOn(const std::string& address, int port);
    void acceptClients(int listenFd);
    // Reads one request; false when the connection has to be closed.
    bool receive(Link& client);
    void close(Link& client);

    DeviceImage& image_;
    RequestHandler handler_;
    modbus_t* context_ = nullptr;
    std::vector<int> listenFds_;
    std::string where_;
    std::list<Link> clients_;
};

} // namespace modbus_sim
