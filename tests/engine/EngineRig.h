// A Tarnvale engine on loopback for tests: device simulators as the devices, the configuration
// loaded from text into a toolkit entry, the communication thread over the real TCP transport,
// and a client session on the entry. Communication status reports are recorded.
#pragma once

#include "RequestLogRecords.h"
#include "ScratchDir.h"
#include "SimProcess.h"
#include "config/ServerConfig.h"
#include "engine/CommThread.h"
#include "modbus/tcp/TcpTransport.h"
#include "toolkit/DaClient.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vorn::test {

class RecordingObserver : public modbus::EngineObserver {
public:
    struct Report {
        int code;
        std::string device;
        bool operator==(const Report&) const = default;
    };
    void onCommStatus(int code, PlcDevice& device) override;
    void onNoDevices() override;
    // Waits until `predicate` holds for the reports so far, at most `timeoutMs`.
    bool waitFor(const std::function<bool(const std::vector<Report>&)>& predicate, int timeoutMs);
    std::vector<Report> reports();
    bool noDevices();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Report> reports_;
    bool noDevices_ = false;
};

// A simulated device: its process and its request log.
struct SimDevice {
    std::unique_ptr<SimProcess> process;
    std::string log;
    std::vector<LoggedRequest> requests() const { return readRequestLog(log); }
};

class EngineRig {
public:
    EngineRig();
    ~EngineRig();

    // Starts a simulator with `arguments` (besides --tcp and --log) and returns it.
    SimDevice& addSimulator(const std::vector<std::string>& arguments = {"--unit", "1"});
    // Loads a Tarnvale configuration (`datatypes` rows and `devices` text) and starts the engine,
    // which reports to `reportTo` when given, else to `observer`.
    void start(const std::string& datatypes, const std::string& devices,
               modbus::EngineObserver* reportTo = nullptr);

    DaClient& client() { return *client_; }
    SOCmnPointer<SODaSTag> tag(const std::string& itemId);
    // Labels of the device's poll blocks, e.g. "HREG10-LEN21@200" (start, length and rate).
    std::vector<std::string> pollBlocks(size_t device = 0);
    // Device reads of `itemIds`, each from a thread of its own at once, so that the engine may
    // serve them with one request; the answers in the order of `itemIds`.
    std::vector<ReadResult> readTogether(const std::vector<std::string>& itemIds,
                                         uint32_t timeoutMs);
    // Keeps asking `condition` until it holds, at most `timeoutMs`.
    static bool eventually(const std::function<bool()>& condition, int timeoutMs);

    ScratchDir dir;
    RecordingObserver observer;
    // Set before start(): the engine paces as a per-connection worker does.
    bool holdUntilDue = false;
    std::vector<std::unique_ptr<SimDevice>> sims;
    modbus::CommThread* engine() { return engine_.get(); }
    modbus::EngineQueues& queues() { return queues_; }

private:
    SOCmnPointer<SODaSEntry> entry_;
    modbus::EngineQueues queues_;
    ServerConfig config_;
    modbus::TcpTransport transport_;
    std::unique_ptr<modbus::CommThread> engine_;
    std::unique_ptr<DaClient> client_;
};

// A "PLC" element for simulator `sim` with the given tags; `attributes` are extra attributes.
std::string plcFor(const SimDevice& sim, const std::string& name, const std::string& tags,
                   const std::string& attributes = {});

} // namespace vorn::test
