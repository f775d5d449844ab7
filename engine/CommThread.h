// The one thread that talks to devices. Each cycle it serves queued client writes, then
// client reads from the device, then changes of tag activity, then polls at most one poll
// block of the current device, and waits 5 ms on its stop event.
#pragma once

#include "config/ServerConfig.h"
#include "engine/Blocks.h"
#include "engine/ClientTransfers.h"
#include "engine/DeviceHealth.h"
#include "engine/EngineObserver.h"
#include "engine/LineTiming.h"
#include "engine/PollPlacement.h"
#include "engine/RetrySchedule.h"
#include "modbus/ErrorTextTable.h"
#include "modbus/ModbusTransport.h"
#include "platform/Event.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vorn::modbus {

// Hears every failed transfer of a device, poll or client read or write (the error and its
// wording), and the first one that works again after failures (code 0), not each of the many that
// simply work. Called on the communication thread: it must return quickly.
using OutcomeListener =
    std::function<void(const PlcDevice& device, int code, const std::string& text)>;

struct EngineSettings {
    // Serial lines: blocks of exactly 246 bytes still take tags, the device table is rebuilt
    // after every communication error, and a device is selected even without poll blocks.
    bool serialLine = false;
    std::string errorTextPath; // the error-text file beside the program
    // Polling per connection: when the block in turn is not due yet and no other block of this
    // thread is, the thread waits until the first block is due (or a client's request comes)
    // and takes the same block again, instead of passing it over until the next pass; when
    // another block is due, the block is passed over without the cycle's wait, as nothing went
    // on the wire. A block is then read as soon as its rate has passed, not up to a whole pass
    // later.
    bool holdUntilDue = false;
};

// The transport's entry for a configured device: where it is, its unit, timeout and pauses.
DeviceEntry transportEntryOf(const PlcDevice& device);

// A new plant for a running engine, from a reload of the configuration.
struct EnginePlant {
    // Every device in its new order; a device the engine polls already is the same object,
    // and keeps its connection, poll blocks, health and retry schedule.
    std::vector<SOCmnPointer<PlcDevice>> devices;
    // Tags leaving the name space (removed, or replaced by a new definition): out of their
    // poll blocks. Removed ones are marked so (SODaSTag::markRemoved), and no late activation
    // places them again.
    std::vector<SOCmnPointer<PolledTag>> retired;
    // Serial lines: every line's settings, and the names of those that changed (their port is
    // closed and opens again with the new settings).
    SerialPortList lines;
    std::vector<std::string> changedLines;
};

class CommThread {
public:
    // Settle times and pacing of the cycle, in milliseconds.
    static constexpr uint32_t kCycleWaitMs = 5;
    static constexpr uint32_t kRequestSettleMs = 10;
    static constexpr uint32_t kActivationSettleMs = 100;
    static constexpr uint32_t kSerialRecoveryMs = 100;

    CommThread(ServerConfig& config, EngineQueues& queues, ModbusTransport& transport,
               EngineObserver& observer, EngineSettings settings);
    ~CommThread();

    // Set before start(): who hears each poll outcome.
    void setOutcomeListener(OutcomeListener listener) { onOutcome_ = std::move(listener); }
    // Starts the thread; with no device configured it tells the observer and ends at once.
    void start();
    // Signals the stop event and waits for the cycle under way to end.
    void stop();
    // Signals the stop event only (stopping several threads at once).
    void requestStop() {
        stopEvent_.set();
        queues_.wake();
    }
    bool isStopping() const { return stopEvent_.isSet(); }
    bool isRunning() const { return running_.load(); }

    // Runs `work` on the communication thread between two cycles, and returns once it has
    // run: what it changes is never seen half done by a poll. Without a running thread it runs
    // on the caller's. The cycle under way ends first (at most a device's timeout).
    void betweenCycles(const std::function<void()>& work);
    // Takes a reload's plant; call it from betweenCycles' work, holding the engine lock.
    void adoptPlant(const EnginePlant& plant);

    // Text of an error code from the error-text file, if it has one.
    std::optional<std::string> errorText(int code) const;
    // The engine's devices and their poll blocks; read them holding the engine lock.
    const std::vector<EngineDevice>& devices() const { return devices_; }
    // How the device at `position` of devices() communicates. Read it holding the engine lock,
    // as a reload may change the devices; the object itself lives as long as the engine.
    const DeviceHealth& health(size_t position) const { return *health_[position]; }
    // The error's text from the file, else "Error <code>".
    std::string errorWording(int code) const;

private:
    void run();
    // Runs the work betweenCycles handed over, if any, and tells its caller.
    void runHandedWork();
    // The transport's device table: device index i + 1 is devices_[i].
    std::vector<DeviceEntry> deviceTable() const;
    // Hands the device table to the transport; the code is also kept in transportNotStarted_.
    [[nodiscard]] int startEngine();
    // startEngine() with a trace line when the transport refuses to start.
    void startTransport();
    void serveWrites();
    void serveDeviceReads();
    void applyActivations();
    // Chooses the device to poll (moving on after a communication error or a finished pass).
    [[nodiscard]] int chooseDevice(int previousCode);
    [[nodiscard]] int selectDevice(EngineDevice& device);
    // Selects the device for its clients' transfers; false (and the transfers answered with
    // the failure) when the device is not tried now or cannot be connected.
    bool selectForClients(EngineDevice& device);
    // Polls the next block of the polled device; `taken` is the block it took, if any.
    [[nodiscard]] int pollOnce(int code, PollBlock*& taken);
    // Reads the block in one run, or its tags one by one once the device has refused it as a
    // whole (remembered per layout, traced once).
    [[nodiscard]] int readBlock(EngineDevice& device, PollBlock& block);
    void report(int code, PollBlock* taken);
    void recoverSerialLine(EngineDevice& device, int code);
    // Waits on the stop event until a queue's length holds still; false when stopping.
    bool settle(size_t EngineQueues::Lengths::*queue, uint32_t intervalMs);
    EngineDevice* deviceOf(const PolledTag& tag);
    void markDevice(EngineDevice& device, int code);
    // Counts a transfer's outcome (a poll's, or a client read's or write's) in the device's
    // health and its retry schedule, and tells the listener; `roundTripMs` is none when nothing
    // went on the wire, `connecting` when the device's connection could not be made.
    void recordOutcome(size_t position, int code, std::optional<double> roundTripMs,
                       bool connecting = false);
    size_t positionOf(const EngineDevice& device) const {
        return static_cast<size_t>(&device - devices_.data());
    }
    // recordOutcome for the client transfers of `device`.
    TransferReport clientReport(const EngineDevice& device);
    // Serial lines: one LineLoad per port, timed by lineTiming_ and seen in its devices' health.
    void setUpLines();
    // Milliseconds until the first block of this thread's devices is due for a poll; 0 when
    // one is due now or none has a rate.
    uint32_t msUntilNextDue() const;

    ServerConfig& config_;
    EngineQueues& queues_;
    LineTiming lineTiming_;                        // times the transactions of serial lines
    ModbusTransport& transport_;                   // lineTiming_, over the transport given
    std::vector<std::shared_ptr<LineLoad>> lines_; // serial lines: one per port name
    EngineObserver& observer_;
    const EngineSettings settings_;
    PollPlacement placement_;
    ClientTransfers transfers_;
    ErrorTextTable errorTexts_;
    std::vector<EngineDevice> devices_;
    std::vector<std::unique_ptr<DeviceHealth>> health_; // parallel to devices_
    std::vector<bool> failing_; // parallel to devices_: the last poll outcome was a failure
    std::vector<RetrySchedule> retries_; // parallel to devices_
    OutcomeListener onOutcome_;
    std::optional<double> polledRoundTripMs_; // a poll transfer took place this cycle
    bool passedOver_ = false;     // holdUntilDue: this cycle passed a block over, sending nothing
    bool notTried_ = false;       // this cycle's poll skipped its device (RetrySchedule)
    bool notTriedBefore_ = false; // so did the cycle before
    bool connectFailed_ = false;  // this cycle's poll could not connect to its device
    uint32_t holdMs_ = 0;         // holdUntilDue: nothing is due for this long
    size_t polled_ = 0;           // position of the polled device in devices_
    uint16_t currentIndex_ = 0;   // index of the transport's current device, 0 = none
    int lastSentCode_ = 0;
    PlcDevice* lastSentDevice_ = nullptr;
    bool transportNotStarted_ = false;
    // Devices a reload removed: their health is still shown (DeviceHealth nodes read it).
    std::vector<std::unique_ptr<DeviceHealth>> retiredHealth_;
    std::mutex workMutex_; // guards handedWork_
    std::condition_variable workDone_;
    const std::function<void()>* handedWork_ = nullptr;
    Event stopEvent_{Event::Reset::manual};
    std::atomic<bool> running_{false};
    std::thread thread_;
};

} // namespace vorn::modbus
