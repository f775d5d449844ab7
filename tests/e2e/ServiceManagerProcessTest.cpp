// Tarnvale under a service manager: the notifications on NOTIFY_SOCKET (a datagram socket of
// the test standing in for systemd) and the journal's priority prefixes on stderr.
#include "ChildProcess.h"
#include "ConfigFiles.h"
#include "ScopedEnv.h"
#include "ScratchDir.h"
#include "SimProcess.h"

#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace vorn::test;
using namespace std::chrono_literals;

namespace {

// The fake service manager's end of NOTIFY_SOCKET.
class NotifySocket {
public:
    explicit NotifySocket(const std::string& path) {
        fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        bound_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~NotifySocket() {
        if (fd_ >= 0)
            close(fd_);
    }
    bool bound() const { return bound_; }
    // The next datagram, or "" when none comes within `timeout`.
    std::string receive(std::chrono::milliseconds timeout) {
        pollfd ready{fd_, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(timeout.count())) != 1)
            return {};
        char buffer[512];
        const ssize_t length = recv(fd_, buffer, sizeof buffer, 0);
        return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
    }

private:
    int fd_ = -1;
    bool bound_ = false;
};

bool acceptsConnections(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

} // namespace

TEST(ServiceManagerProcess, ReadyOnceTheEndpointListensStoppingAtSigtermAndJournalPrefixes) {
    ScratchDir dir;
    SimProcess device(MODBUS_SIM_PATH, {"--tcp", "127.0.0.1:0", "--unit", "1"});
    const std::string config = dir.write(
        "plant.xml", tcpConfig("", tcpDevice("P1", "127.0.0.1",
                                             tagElement("T", "HREGISTER VT_I2", "1") +
                                                 tagElement("Odd", "HREGISTER VT_NOSUCH", "2"),
                                             " port=\"" + std::to_string(device.port()) + "\"")));
    dir.write("registry.ini", "[SOFTWARE\\VornAutomation\\Tarnvale]\nOpcUaPort=0\n");
    NotifySocket manager(dir.file("notify"));
    ASSERT_TRUE(manager.bound());

    ScopedEnv headless("VORN_HEADLESS", "1");
    ScopedEnv registry("VORN_REGISTRY", dir.file("registry.ini").c_str());
    ScopedEnv notify("NOTIFY_SOCKET", dir.file("notify").c_str());
    ScopedEnv journal("JOURNAL_STREAM", "8:12345");
    ChildProcess server(TARNVALE_PATH, {"--config", config});

    ASSERT_EQ(manager.receive(20s), "READY=1") << server.errorOutput();
    auto line = server.readLine(5s);
    ASSERT_TRUE(line) << server.errorOutput();
    const int port = std::stoi(line->substr(line->rfind(':') + 1));
    EXPECT_TRUE(acceptsConnections(port)) << "READY=1 comes once clients can connect";

    server.signal(SIGTERM);
    EXPECT_EQ(manager.receive(10s), "STOPPING=1");
    EXPECT_EQ(server.waitForExit(15s), 0);
    // The loader's warning carries the journal's warning priority.
    EXPECT_NE(server.errorOutput().find("<4>[warning] CFG: line 9: tag \"P1.Odd\""),
              std::string::npos)
        << server.errorOutput();
}

TEST(ServiceManagerProcess, StartedByHandTheTraceCarriesNoPriorityPrefix) {
    ScratchDir dir;
    const std::string config = dir.write(
        "plant.xml",
        tcpConfig("", tcpDevice("P1", "127.0.0.1", tagElement("Odd", "HREGISTER VT_X", "2"))));
    dir.write("registry.ini", "[SOFTWARE\\VornAutomation\\Tarnvale]\nOpcUaPort=0\n");
    ScopedEnv headless("VORN_HEADLESS", "1");
    ScopedEnv registry("VORN_REGISTRY", dir.file("registry.ini").c_str());
    ScopedEnv journal("JOURNAL_STREAM", nullptr);
    ScopedEnv notify("NOTIFY_SOCKET", nullptr);
    ChildProcess server(TARNVALE_PATH, {"--config", config});
    ASSERT_TRUE(server.readLine(20s)) << server.errorOutput();
    EXPECT_EQ(server.terminate(15s), 0);
    const std::string err = server.errorOutput();
    EXPECT_EQ(err.rfind("[warning] CFG: line 8: tag \"P1.Odd\"", 0), 0u) << err;
    EXPECT_EQ(err.find('<'), std::string::npos) << err;
}

TEST(ServiceManagerProcess, AServerWithoutDevicesNeverReportsReadyAndExitsOne) {
    ScratchDir dir;
    const std::string config = dir.write("empty.xml", tcpConfig("", ""));
    dir.write("registry.ini", "[SOFTWARE\\VornAutomation\\Tarnvale]\nOpcUaPort=0\n");
    NotifySocket manager(dir.file("notify"));
    ASSERT_TRUE(manager.bound());
    ScopedEnv headless("VORN_HEADLESS", "1");
    ScopedEnv registry("VORN_REGISTRY", dir.file("registry.ini").c_str());
    ScopedEnv notify("NOTIFY_SOCKET", dir.file("notify").c_str());
    ChildProcess server(TARNVALE_PATH, {"--config", config});
    EXPECT_EQ(server.waitForExit(15s), 1) << server.errorOutput();
    EXPECT_EQ(manager.receive(500ms), "STOPPING=1") << "no READY=1 before it";
}
