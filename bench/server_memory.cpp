// Where a large server's memory goes: loads a generated configuration (100 devices x 1,000
// tags by default) layer by layer as a server starts and prints, per tag, the heap each layer
// keeps (configuration model and toolkit name space with the tags, OPC UA address space,
// polling engine), the peak while the file is parsed, and the resident memory of the whole
// server idle after start.
//   server_memory [devices] [tags-per-device]
#include "bench/common/GeneratedPlant.h"
#include "bench/common/ProcessMemory.h"
#include "config/ConfigLoader.h"
#include "engine/CommThread.h"
#include "modbus/tcp/TcpTransport.h"
#include "server/GatewayServer.h"
#include "server/ModbusTag.h"
#include "toolkit/ua/AddressSpace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <thread>
#include <unistd.h>

using namespace vorn;

namespace {

struct QuietObserver : modbus::EngineObserver {
    void onCommStatus(int, PlcDevice&) override {}
    void onNoDevices() override {}
};

void printLayer(const char* layer, double bytes, double tags) {
    std::printf("  %-44s %8.1f MB %7.0f bytes/tag\n", layer, bytes / 1e6, bytes / tags);
}

// Every layer on its own, measured as the heap it keeps once built.
void layerByLayer(const std::string& path, double tags) {
    bench::HeapMeter meter;
    auto entry = makeObject<SODaSEntry>();
    ServerConfig config;
    modbus::EngineQueues queues;
    ConfigLoader loader(ServerKind::tarnvale, config, modbusTagFactory(queues));
    const double peakBefore = bench::peakResidentBytes();
    const auto start = std::chrono::steady_clock::now();
    loader.loadConfiguration(path, *entry->getNameSpaceRoot());
    const double loadSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double loaded = meter.take();
    const double parsePeak = bench::peakResidentBytes() - peakBefore;

    ua::ServerInfo info({}, "urn:bench", "urn:bench:tags");
    std::optional<ua::AddressSpace> space;
    space.emplace(*entry, info);
    const double addressSpace = meter.take();

    modbus::TcpTransport transport;
    QuietObserver observer;
    modbus::CommThread engine(config, queues, transport, observer, modbus::EngineSettings{});
    engine.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const double engineBytes = meter.take();
    engine.stop();

    std::printf("load time: %.3f s\nheap kept per layer:\n", loadSeconds);
    printLayer("configuration, name space, tags (loader)", loaded, tags);
    printLayer("OPC UA address space", addressSpace, tags);
    printLayer("polling engine (idle)", engineBytes, tags);
    printLayer("peak while loading (parsed file, resident)", parsePeak, tags);
}

// The whole server as the programs run it, idle after start.
void wholeServer(const std::string& directory, const std::string& path, double tags) {
    const std::string registryPath = directory + "/registry.ini";
    {
        Registry registry(registryPath);
        const char* key = profileOf(ServerKind::tarnvale).registryKey;
        (void)registry.writeString(key, "ConfigFile", path);
        (void)registry.writeString(key, "OpcUaPort", "0");
    }
    const double before = bench::residentBytes();
    GatewayServer server(
        ServerKind::tarnvale,
        [](const ServerConfig&) { return std::make_unique<modbus::TcpTransport>(); },
        Registry(registryPath));
    QuietObserver observer;
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    if (!server.start(observer, nullptr, error)) {
        std::fprintf(stderr, "server_memory: the server did not start: %s\n", error.c_str());
        std::exit(1);
    }
    const double startSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double idle = bench::residentBytes();
    std::printf("whole server: start %.3f s, resident idle %.1f MB (%.0f bytes/tag above the "
                "%.1f MB of an empty process), peak %.1f MB\n",
                startSeconds, idle / 1e6, (idle - before) / tags, before / 1e6,
                bench::peakResidentBytes() / 1e6);
    server.shutdown();
}

} // namespace

int main(int argc, char** argv) {
    bench::PlantShape shape;
    shape.devices = argc > 1 ? std::atoi(argv[1]) : 100;
    shape.tagsPerDevice = argc > 2 ? std::atoi(argv[2]) : 1000;
    const double tags = static_cast<double>(shape.devices) * shape.tagsPerDevice;
    char directory[] = "/tmp/vorn-server-memory-XXXXXX";
    if (mkdtemp(directory) == nullptr)
        return 1;
    const std::string path = std::string(directory) + "/plant.xml";
    // Written by a child process, so that this process's memory is the server's alone.
    bench::inChild([&] { std::ofstream(path, std::ios::binary) << bench::generatePlant(shape); });
    std::printf("%d devices x %d tags\n", shape.devices, shape.tagsPerDevice);
    bench::inChild([&] { layerByLayer(path, tags); });
    bench::inChild([&] { wholeServer(directory, path, tags); });
    std::remove(path.c_str());
    std::remove((std::string(directory) + "/registry.ini").c_str());
    rmdir(directory);
    return 0;
}
