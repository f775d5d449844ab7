// Polls 10,000 tags over 10 simulated devices with the real engine and TCP transport and
// reports: Modbus requests per full pass against the blocks the grouping allows, the pass
// time against the pacing bound, CPU time per second of polling, and resident memory.
//   engine [seconds]
#include "ConfigFiles.h"
#include "RequestLogRecords.h"
#include "ScratchDir.h"
#include "SimProcess.h"
#include "config/ConfigLoader.h"
#include "engine/CommThread.h"
#include "modbus/tcp/TcpTransport.h"
#include "server/ModbusGroupItem.h"
#include "server/ModbusTag.h"
#include "toolkit/DaClient.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <sys/resource.h>
#include <thread>

using namespace vorn;
using namespace vorn::test;

namespace {

constexpr int kDevices = 10;
constexpr int kTagsPerDevice = 1000;

// 500 holding-register integers, 250 floats and 250 coils per device.
std::string deviceTags() {
    std::string tags;
    for (int i = 0; i < 500; ++i)
        tags += tagElement("I" + std::to_string(i), "HREGISTER VT_I2", std::to_string(i));
    for (int i = 0; i < 250; ++i)
        tags +=
            tagElement("F" + std::to_string(i), "HREGISTER VT_R4", std::to_string(1000 + 2 * i));
    for (int i = 0; i < 250; ++i)
        tags += tagElement("C" + std::to_string(i), "COIL", std::to_string(i));
    return tags;
}

class QuietObserver : public modbus::EngineObserver {
public:
    void onCommStatus(int code, PlcDevice& device) override {
        if (code)
            std::fprintf(stderr, "device %s: error %d\n", device.name.c_str(), code);
    }
    void onNoDevices() override {}
};

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    ScratchDir dir;
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::vector<std::string> logs;
    std::string devices;
    for (int d = 0; d < kDevices; ++d) {
        logs.push_back(dir.file("sim" + std::to_string(d) + ".log"));
        sims.push_back(std::make_unique<SimProcess>(
            MODBUS_SIM_PATH,
            std::vector<std::string>{"--tcp", "127.0.0.1:0", "--unit", "1", "--log", logs.back()}));
        devices += tcpDevice("PLC" + std::to_string(d), "127.0.0.1", deviceTags(),
                             " port=\"" + std::to_string(sims.back()->port()) + "\"");
    }

    auto entry = makeObject<SODaSEntry>();
    entry->setCreator(makeObject<ModbusCreator>().get());
    modbus::EngineQueues queues;
    ServerConfig config;
    ConfigLoader loader(ServerKind::tarnvale, config, modbusTagFactory(queues));
    loader.loadConfiguration(
        dir.write("bench.xml", tcpConfig(datatypeRow("COIL", 1, 15, 5), devices)),
        *entry->getNameSpaceRoot());
    modbus::TcpTransport transport;
    QuietObserver observer;
    modbus::CommThread engine(config, queues, transport, observer, {false, ""});
    engine.start();

    DaClient client(*entry);
    auto group = client.addGroup("bench", 1); // as fast as the engine goes
    for (int d = 0; d < kDevices; ++d)
        for (const char* prefix : {"I", "F", "C"})
            for (int i = 0; i < (prefix[0] == 'I' ? 500 : 250); ++i)
                client.setActive(*client.addItem(*group, "PLC" + std::to_string(d) + "." + prefix +
                                                             std::to_string(i)),
                                 true);

    // Let placement settle and every block be polled once before measuring.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    size_t blocks = 0;
    {
        std::lock_guard lock(queues.engineLock());
        for (const auto& device : engine.devices())
            blocks += device.pollBlocks.size();
    }
    std::vector<size_t> before;
    for (const auto& log : logs)
        before.push_back(readRequestLog(log).size());
    const double cpuBefore = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = cpuSeconds() - cpuBefore;

    size_t requests = 0;
    std::map<std::pair<int, int>, std::vector<LoggedRequest>> byBlock; // (fc, start) per device 0
    for (size_t d = 0; d < logs.size(); ++d) {
        auto all = readRequestLog(logs[d]);
        requests += all.size() - before[d];
        if (d == 0)
            for (size_t i = before[d]; i < all.size(); ++i)
                byBlock[{all[i].function, all[i].start}].push_back(all[i]);
    }
    // A pass is the time between two reads of the same block.
    std::vector<double> gaps;
    for (auto& [key, reads] : byBlock)
        for (size_t i = 1; i < reads.size(); ++i)
            gaps.push_back(static_cast<double>(gapBetween(reads[i - 1], reads[i]).count()));
    std::sort(gaps.begin(), gaps.end());
    const double passMs = gaps.empty() ? 0 : gaps[gaps.size() / 2];
    const double passes = passMs > 0 ? elapsed * 1000 / passMs : 0;

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("tags %d over %d devices; poll blocks the grouping gives: %zu\n",
                kDevices * kTagsPerDevice, kDevices, blocks);
    std::printf("Modbus requests in %.1f s: %zu; per full pass: %.1f (blocks: %zu)\n", elapsed,
                requests, passes > 0 ? requests / passes : 0.0, blocks);
    std::printf("full pass: %.0f ms (median between reads of one block); pacing bound %zu x 5 ms = "
                "%zu ms plus round trips\n",
                passMs, blocks, blocks * 5);
    std::printf("CPU time per second of polling: %.1f ms\n", cpu / elapsed * 1000);
    std::printf("peak resident memory: %.1f MB\n", usage.ru_maxrss / 1024.0);
    engine.stop();
    return 0;
}
