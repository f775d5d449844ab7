// A dead device among healthy ones, polled by one engine (single mode): how often the healthy
// devices' blocks are read (median time between two reads of a block, the pass time) with no
// dead device, with a silent one at its reduced rate (N = 3, T = 10 s), and with a silent one
// without; how often the dead device is tried (its request log), and how long a client's
// device read of its tag takes meanwhile. With "refused": a device whose port refuses
// connections for 20 s, the connects tried meanwhile (DeviceHealth) and how soon after its
// return its value is Good.
//   dead_device [seconds per scenario]
//   dead_device refused
#include "ConfigFiles.h"
#include "EngineRig.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

using namespace vorn;
using namespace vorn::test;
using namespace std::chrono;

namespace {

constexpr int kBlocksPerDevice = 10;

std::string tags() {
    std::string text;
    for (int i = 0; i < kBlocksPerDevice; ++i) // 100 registers apart: one block each
        text += tagElement("T" + std::to_string(i), "HREGISTER VT_I2", std::to_string(100 * i));
    return text;
}

struct Outcome {
    double passMs = 0;                 // healthy devices: median time between two reads of a block
    std::vector<long> triesS;          // the dead device's tries, seconds after the first
    std::vector<double> clientReadsMs; // client device reads of the dead tag, sorted
};

Outcome run(const char* deadAttributes, int seconds) {
    EngineRig rig;
    SimDevice& a = rig.addSimulator();
    SimDevice& b = rig.addSimulator();
    std::string devices = plcFor(a, "A", tags()) + plcFor(b, "B", tags());
    SimDevice* dead = nullptr;
    if (deadAttributes) {
        dead = &rig.addSimulator({"--unit", "1", "--silent", "1"});
        devices += plcFor(*dead, "Dead", tags(), deadAttributes);
    }
    rig.start("", devices);
    auto group = rig.client().addGroup("g", 10);
    for (const char* device : {"A", "B", "Dead"}) {
        if (std::string(device) == "Dead" && !dead)
            continue;
        for (int i = 0; i < kBlocksPerDevice; ++i)
            rig.client().setActive(
                *rig.client().addItem(*group, std::string(device) + ".T" + std::to_string(i)),
                true);
    }
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    Outcome outcome;
    outcome.passMs = (rig.engine()->health(0).snapshot().readIntervalP50Ms +
                      rig.engine()->health(1).snapshot().readIntervalP50Ms) /
                     2;
    if (dead) {
        const auto requests = dead->requests();
        for (const LoggedRequest& r : requests)
            outcome.triesS.push_back(
                duration_cast<milliseconds>(r.time - requests.front().time).count() / 100);
        for (int i = 0; i < 30; ++i) { // over 6 s: some may meet a try of the device
            const auto asked = steady_clock::now();
            (void)rig.client().readFromDevice("Dead.T0", 5000);
            outcome.clientReadsMs.push_back(
                duration<double, std::milli>(steady_clock::now() - asked).count());
            std::this_thread::sleep_for(milliseconds(200));
        }
        std::sort(outcome.clientReadsMs.begin(), outcome.clientReadsMs.end());
    }
    return outcome;
}

void print(const char* name, const Outcome& outcome) {
    std::printf("%-38s pass %8.1f ms", name, outcome.passMs);
    if (!outcome.clientReadsMs.empty()) {
        const auto& reads = outcome.clientReadsMs;
        const auto fast =
            std::count_if(reads.begin(), reads.end(), [](double ms) { return ms <= 50; });
        std::printf("\n    client device reads of the dead tag: median %.1f ms, max %.1f ms, "
                    "%zd of %zu within 50 ms\n    tries at (s):",
                    reads[reads.size() / 2], reads.back(), fast, reads.size());
        for (long tenths : outcome.triesS)
            std::printf(" %.1f", tenths / 10.0);
    }
    std::printf("\n");
}

void refusedFor20Seconds() {
    EngineRig rig;
    SimDevice& gone = rig.addSimulator();
    const int port = gone.process->port();
    const std::string plc = plcFor(gone, "P1", tagElement("T", "HREGISTER VT_I2", "5"));
    gone.process->stop();
    rig.start("", plc);
    auto group = rig.client().addGroup("g", 100);
    rig.client().setActive(*rig.client().addItem(*group, "P1.T"), true);
    std::this_thread::sleep_for(seconds(20));
    const uint64_t attempts = rig.engine()->health(0).snapshot().errorCount;
    SimProcess back(MODBUS_SIM_PATH, {"--tcp", "127.0.0.1:" + std::to_string(port), "--unit", "1",
                                      "--set", "hr:5=42"});
    const auto returned = steady_clock::now();
    EngineRig::eventually([&] { return rig.client().readFromCache("P1.T").quality == 0xC0; },
                          10000);
    std::printf("port refusing for 20 s: %llu connects tried; Good %.0f ms after its return\n",
                static_cast<unsigned long long>(attempts),
                duration<double, std::milli>(steady_clock::now() - returned).count());
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "refused") {
        refusedFor20Seconds();
        return 0;
    }
    const int seconds = argc > 1 ? std::max(15, std::atoi(argv[1])) : 40;
    const Outcome healthy = run(nullptr, seconds);
    const Outcome reduced =
        run(" timeout=\"1000\" reducedafter=\"3\" reducedinterval=\"10\"", seconds);
    const Outcome plain = run(" timeout=\"1000\"", seconds);
    print("two healthy devices", healthy);
    print("+ a silent device at its reduced rate", reduced);
    print("+ a silent device, no reduced rate", plain);
    std::printf("reduced rate: pass %+.1f %% of the healthy pass\n",
                100 * (reduced.passMs - healthy.passMs) / healthy.passMs);
    return 0;
}
