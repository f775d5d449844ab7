// Tarnvale: Modbus TCP devices served as OPC tags.
#include "apps/ServerMain.h"
#include "modbus/tcp/TcpTransport.h"

int main(int argc, char** argv) {
    return vorn::runServer(vorn::ServerKind::tarnvale, argc, argv, [](const vorn::ServerConfig&) {
        return std::make_unique<vorn::modbus::TcpTransport>();
    });
}
