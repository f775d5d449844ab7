// Polls 10,000 tags over 10 simulated devices with the real engine and TCP transport and
// reports: Modbus requests per full pass against the blocks the grouping allows, the pass
// time against the pacing bound, CPU time per second of polling, and resident memory. The
// same plant is polled twice in one run: its registers as Modbus orders them, then every
// device CDAB (low word first) and every register tag scaled, to show what reordering and
// scaling cost; with several rounds the two alternate (and which comes first), so that a busy
// machine's load falls on both alike, and the medians are compared.
//   engine [seconds] [rounds]
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

// 500 holding-register integers, 250 floats and 250 coils per device; the registers'
// tags with `registerSettings` (scaling), the coils without (bits take none).
std::string deviceTags(const std::string& registerSettings) {
    std::string tags;
    for (int i = 0; i < 500; ++i)
        tags += tagElement("I" + std::to_string(i), "HREGISTER VT_I2", std::to_string(i),
                           registerSettings);
    for (int i = 0; i < 250; ++i)
        tags += tagElement("F" + std::to_string(i), "HREGISTER VT_R4", std::to_string(1000 + 2 * i),
                           registerSettings);
    for (int i = 0; i < 250; ++i)
        tags += tagElement("C" + std::to_string(i), "COIL", std::to_string(i));
    return tags;
}

// How the plant's values are laid out in one of the two runs.
struct Layout {
    const char* name;
    const char* deviceAttributes;
    const char* registerSettings;
};

constexpr Layout kPlain{"plain (ABCD, unscaled)", "", ""};
constexpr Layout kReorderedAndScaled{
    "CDAB and scaled", " byteorder=\"CDAB\"",
    "<rawlow>0</rawlow><rawhigh>10</rawhigh><eulow>0</eulow><euhigh>1</euhigh><units>kW</units>"};

struct Figures {
    size_t blocks = 0;
    double elapsed = 0;
    size_t requests = 0;
    double passes = 0;
    double passMs = 0;
    double cpuMsPerSecond = 0;
};

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

// Polls the plant laid out as `layout` on the simulators for `seconds` and measures it.
Figures measure(const Layout& layout, const std::vector<std::unique_ptr<SimProcess>>& sims,
                const std::vector<std::string>& logs, const ScratchDir& dir, int seconds) {
    std::string devices;
    for (int d = 0; d < kDevices; ++d)
        devices += tcpDevice(
            "PLC" + std::to_string(d), "127.0.0.1", deviceTags(layout.registerSettings),
            " port=\"" + std::to_string(sims[d]->port()) + "\"" + layout.deviceAttributes);

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
    Figures figures;
    {
        std::lock_guard lock(queues.engineLock());
        for (const auto& device : engine.devices())
            figures.blocks += device.pollBlocks.size();
    }
    std::vector<size_t> before;
    for (const auto& log : logs)
        before.push_back(readRequestLog(log).size());
    const double cpuBefore = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    figures.elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figures.cpuMsPerSecond = (cpuSeconds() - cpuBefore) / figures.elapsed * 1000;

    std::map<std::pair<int, int>, std::vector<LoggedRequest>> byBlock; // (fc, start) per device 0
    for (size_t d = 0; d < logs.size(); ++d) {
        auto all = readRequestLog(logs[d]);
        figures.requests += all.size() - before[d];
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
    figures.passMs = gaps.empty() ? 0 : gaps[gaps.size() / 2];
    figures.passes = figures.passMs > 0 ? figures.elapsed * 1000 / figures.passMs : 0;
    engine.stop();
    return figures;
}

void report(const Layout& layout, const Figures& f) {
    std::printf("%s:\n", layout.name);
    std::printf("  tags %d over %d devices; poll blocks the grouping gives: %zu\n",
                kDevices * kTagsPerDevice, kDevices, f.blocks);
    std::printf("  Modbus requests in %.1f s: %zu; per full pass: %.1f (blocks: %zu)\n", f.elapsed,
                f.requests, f.passes > 0 ? f.requests / f.passes : 0.0, f.blocks);
    std::printf("  full pass: %.0f ms (median between reads of one block); pacing bound %zu x 5 "
                "ms = %zu ms plus round trips\n",
                f.passMs, f.blocks, f.blocks * 5);
    std::printf("  CPU time per second of polling: %.1f ms\n", f.cpuMsPerSecond);
}

} // namespace

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    ScratchDir dir;
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::vector<std::string> logs;
    for (int d = 0; d < kDevices; ++d) {
        logs.push_back(dir.file("sim" + std::to_string(d) + ".log"));
        sims.push_back(std::make_unique<SimProcess>(
            MODBUS_SIM_PATH,
            std::vector<std::string>{"--tcp", "127.0.0.1:0", "--unit", "1", "--log", logs.back()}));
    }
    std::vector<double> plainPass, plainCpu, reorderedPass, reorderedCpu;
    for (int round = 1; round <= rounds; ++round) {
        std::printf("round %d of %d\n", round, rounds);
        // Every other round starts with the second layout: a run's place in the process must
        // not count for its layout.
        Figures plain, reordered;
        if (round % 2 == 1) {
            plain = measure(kPlain, sims, logs, dir, seconds);
            reordered = measure(kReorderedAndScaled, sims, logs, dir, seconds);
        } else {
            reordered = measure(kReorderedAndScaled, sims, logs, dir, seconds);
            plain = measure(kPlain, sims, logs, dir, seconds);
        }
        report(kPlain, plain);
        report(kReorderedAndScaled, reordered);
        plainPass.push_back(plain.passMs);
        plainCpu.push_back(plain.cpuMsPerSecond);
        reorderedPass.push_back(reordered.passMs);
        reorderedCpu.push_back(reordered.cpuMsPerSecond);
    }
    std::printf("medians over %d round(s): pass %.0f / %.0f ms, CPU %.1f / %.1f ms per second "
                "(plain / CDAB and scaled)\n",
                rounds, median(plainPass), median(reorderedPass), median(plainCpu),
                median(reorderedCpu));
    std::printf("CDAB and scaled against plain: pass time %+.1f %%, CPU %+.1f %%\n",
                (median(reorderedPass) / median(plainPass) - 1) * 100,
                (median(reorderedCpu) / median(plainCpu) - 1) * 100);

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %.1f MB\n", usage.ru_maxrss / 1024.0);
    return 0;
}
