// A reload of a large plant: a server started with a generated configuration (100 devices x
// 1,000 tags by default) reloads its file 20 times, alternately with one device of 1,000 tags
// more and without it, and once unchanged. Prints the time each reload takes to apply and the
// heap in use and resident memory before and after, which must not grow from one pair of
// reloads to the next.
//   reload [devices] [tags-per-device] [reloads]
#include "bench/common/GeneratedPlant.h"
#include "bench/common/ProcessMemory.h"
#include "modbus/tcp/TcpTransport.h"
#include "server/GatewayServer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>
#include <vector>

using namespace vorn;

namespace {

struct QuietObserver : modbus::EngineObserver {
    void onCommStatus(int, PlcDevice&) override {}
    void onNoDevices() override {}
};

void write(const std::string& path, const bench::PlantShape& shape) {
    std::ofstream(path, std::ios::binary) << bench::generatePlant(shape);
}

void reloads(const std::string& directory, bench::PlantShape shape, int count) {
    const std::string path = directory + "/plant.xml";
    const std::string registryPath = directory + "/registry.ini";
    {
        Registry registry(registryPath);
        const char* key = profileOf(ServerKind::tarnvale).registryKey;
        (void)registry.writeString(key, "ConfigFile", path);
        (void)registry.writeString(key, "OpcUaPort", "0");
    }
    write(path, shape);
    GatewayServer server(
        ServerKind::tarnvale,
        [](const ServerConfig&) { return std::make_unique<modbus::TcpTransport>(); },
        Registry(registryPath));
    QuietObserver observer;
    std::string error;
    if (!server.start(observer, nullptr, error)) {
        std::fprintf(stderr, "reload: the server did not start: %s\n", error.c_str());
        std::exit(1);
    }
    auto reloadOnce = [&server]() {
        const auto start = std::chrono::steady_clock::now();
        const ReloadOutcome outcome = server.reload();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!outcome.applied) {
            std::fprintf(stderr, "reload: refused: %s\n", outcome.refusal.c_str());
            std::exit(1);
        }
        return std::make_pair(seconds, outcome.difference.describe());
    };
    std::printf("started: heap %.1f MB, resident %.1f MB\n", bench::heapInUseBytes() / 1e6,
                bench::residentBytes() / 1e6);
    const auto [same, nothing] = reloadOnce();
    std::printf("unchanged file: %.3f s (%s)\n", same, nothing.c_str());

    const int baseDevices = shape.devices;
    std::vector<double> times;
    for (int i = 1; i <= count; ++i) {
        shape.devices = baseDevices + (i % 2);
        write(path, shape);
        const auto [seconds, what] = reloadOnce();
        times.push_back(seconds);
        if (i <= 2 || i % 10 == 0)
            std::printf("reload %2d: %.3f s (%s); heap %.1f MB, resident %.1f MB\n", i, seconds,
                        what.c_str(), bench::heapInUseBytes() / 1e6, bench::residentBytes() / 1e6);
    }
    std::sort(times.begin(), times.end());
    std::printf("%d reloads: fastest %.3f s, median %.3f s, slowest %.3f s; peak resident "
                "%.1f MB\n",
                count, times.front(), times[times.size() / 2], times.back(),
                bench::peakResidentBytes() / 1e6);
    server.shutdown();
}

} // namespace

int main(int argc, char** argv) {
    bench::PlantShape shape;
    shape.devices = argc > 1 ? std::atoi(argv[1]) : 100;
    shape.tagsPerDevice = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int count = argc > 3 ? std::atoi(argv[3]) : 20;
    char directory[] = "/tmp/vorn-reload-XXXXXX";
    if (mkdtemp(directory) == nullptr)
        return 1;
    std::printf("%d devices x %d tags, %d reloads of one device more or less\n", shape.devices,
                shape.tagsPerDevice, count);
    reloads(directory, shape, count);
    std::remove((std::string(directory) + "/plant.xml").c_str());
    std::remove((std::string(directory) + "/registry.ini").c_str());
    rmdir(directory);
    return 0;
}
