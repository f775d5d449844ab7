// Loads a generated configuration of 100 devices with 1,000 tags each (in ten branches) the
// way a server does at start, and reports the load time and the process's peak memory.
//   config_load [devices] [tags-per-device]
#include "bench/common/GeneratedPlant.h"
#include "config/ConfigLoader.h"
#include "server/ModbusTag.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vorn;

namespace {

size_t countTags(const SODaSNode& node) {
    size_t count = node.leafCount();
    for (const auto& branch : node.getBranches())
        count += countTags(*branch);
    return count;
}

} // namespace

int main(int argc, char** argv) {
    const int devices = argc > 1 ? std::atoi(argv[1]) : 100;
    const int tagsPerDevice = argc > 2 ? std::atoi(argv[2]) : 1000;
    const std::string path = "/tmp/vorn-config-load-" + std::to_string(getpid()) + ".xml";
    // The file is written by a child process, so that this process's peak is the loader's.
    pid_t writer = fork();
    if (writer == 0) {
        std::ofstream(path, std::ios::binary) << bench::generatePlant({devices, tagsPerDevice});
        _exit(0);
    }
    int status = 0;
    waitpid(writer, &status, 0);
    std::ifstream written(path, std::ios::binary | std::ios::ate);
    const double fileBytes = static_cast<double>(written.tellg());

    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    ServerConfig config;
    auto root = makeObject<SODaSNameSpaceRoot>();
    modbus::EngineQueues queues;
    ConfigLoader loader(ServerKind::tarnvale, config, modbusTagFactory(queues));
    auto start = std::chrono::steady_clock::now();
    loader.loadConfiguration(path, *root);
    auto took = std::chrono::steady_clock::now() - start;
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    std::remove(path.c_str());

    const size_t tags = countTags(*root);
    std::printf("file: %.1f MB, %zu devices, %zu tags\n", fileBytes / 1e6,
                config.devices.getCount(), tags);
    std::printf("load time: %.3f s\n", std::chrono::duration<double>(took).count());
    std::printf("peak resident memory: %.1f MB (before loading: %.1f MB)\n",
                after.ru_maxrss / 1024.0, before.ru_maxrss / 1024.0);
    return tags == static_cast<size_t>(devices) * tagsPerDevice ? 0 : 1;
}
