// A Tarnvale-like server process for the OPC UA end-to-end tests: loads a configuration,
// runs the real engine over the real TCP transport and serves it with UaServer.
//
//   ua_test_host CONFIG.xml PORT [-Embedding]
//
// Prints "listening PORT" once serving. SIGTERM or SIGINT stops it the way the servers stop:
// clients are told "Server shutdown" and get up to 10 s to close their sessions. With
// -Embedding it also ends when its last session closes.
#include "config/ConfigLoader.h"
#include "modbus/engine/CommThread.h"
#include "modbus/tcp/TcpTransport.h"
#include "opc/ModbusGroupItem.h"
#include "opc/ModbusTag.h"
#include "platform/Event.h"
#include "toolkit/ua/UaServer.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

using namespace vorn;

namespace {

constexpr uint32_t kShutdownWaitMs = 10000;

Event stopRequested{Event::Reset::manual};

class QuietObserver : public modbus::EngineObserver {
public:
    void onCommStatus(int, PlcDevice&) override {}
    void onNoDevices() override {}
};

// Ends an embedded server when its last client has gone.
class LastClientHandler : public SOSrvEventHandler {
public:
    explicit LastClientHandler(bool embedded) : embedded_(embedded) {}
    void onReleasedLastOPCObject() override {
        if (embedded_)
            stopRequested.set();
    }

private:
    bool embedded_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: ua_test_host CONFIG.xml PORT [-Embedding]\n");
        return 2;
    }
    const bool embedded = argc > 3 && strcasecmp(argv[3], "-Embedding") == 0;
    std::signal(SIGTERM, [](int) { stopRequested.set(); });
    std::signal(SIGINT, [](int) { stopRequested.set(); });
    std::signal(SIGPIPE, SIG_IGN);

    SOCmnPointer<SODaSEntry> entry = makeObject<SODaSEntry>();
    entry->setCreator(makeObject<ModbusCreator>().get());
    entry->setVendorInfo("Vorn ModBus Tcp/Ip OPC DA Server - Vorn Automation, test host");
    entry->setVersionInfo(1, 10, 100);
    entry->setEventHandler(makeObject<LastClientHandler>(embedded).get());

    modbus::EngineQueues queues;
    ServerConfig config;
    modbus::TcpTransport transport;
    QuietObserver observer;
    ConfigLoader loader(ServerKind::tarnvale, config, modbusTagFactory(queues),
                        Registry("/nonexistent/registry.ini"));
    auto root = entry->getNameSpaceRoot();
    root->setTreeDelimiter('.');
    if (!loader.loadConfiguration(argv[1], *root)) {
        std::fprintf(stderr, "ua_test_host: cannot load %s\n", argv[1]);
        return 1;
    }
    modbus::CommThread engine(config, queues, transport, observer, modbus::EngineSettings{});
    engine.start();
    entry->start();

    ua::UaServerSettings settings;
    settings.port = static_cast<uint16_t>(std::stoi(argv[2]));
    settings.bindAddress = "127.0.0.1";
    settings.productName = "Vorn ModBus Tcp/Ip OPC DA Server";
    settings.productUri = "urn:vorn:tarnvale";
    settings.applicationUri = "urn:vorn:tarnvale:test-host";
    settings.requestTimeoutMs = 5000;
    ua::UaServer server(*entry, settings);
    std::string error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "ua_test_host: %s\n", error.c_str());
        engine.stop();
        return 1;
    }
    std::printf("listening %u\n", server.port());
    std::fflush(stdout);

    while (!stopRequested.wait(100)) {
    }
    if (server.sessionCount() > 0) {
        entry->shutdownAllClients("Server shutdown");
        for (uint32_t waited = 0; waited < kShutdownWaitMs && server.sessionCount() > 0;
             waited += 50)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    server.stop();
    engine.stop();
    entry->terminate();
    return 0;
}
