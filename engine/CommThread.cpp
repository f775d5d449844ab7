#include "CommThread.h"

#include "engine/BlockTransfer.h"
#include "modbus/ErrorCodes.h"
#include "platform/Tick.h"
#include "toolkit/SOCmnTrace.h"

#include <algorithm>
#include <chrono>
#include <unordered_map>
#include <utility>

namespace vorn::modbus {
namespace {

// A queue that keeps growing is taken after this many looks all the same, so a steady stream
// of client calls cannot hold the engine off its devices.
constexpr int kMaxSettleLooks = 20;

} // namespace

DeviceEntry transportEntryOf(const PlcDevice& config) {
    return DeviceEntry{config.address,        config.tcpPort,
                       config.portName,       static_cast<uint8_t>(config.unitId),
                       config.timeoutMs,      config.silentMs,
                       config.connectPauseMs, config.requestPauseMs,
                       config.backupAddress,  static_cast<uint16_t>(config.backupPort),
                       config.backupAfter};
}

CommThread::CommThread(ServerConfig& config, EngineQueues& queues, ModbusTransport& transport,
                       EngineObserver& observer, EngineSettings settings)
    : config_(config), queues_(queues), lineTiming_(transport), transport_(lineTiming_),
      observer_(observer), settings_(std::move(settings)),
      placement_(config.modbusTypes, settings_.serialLine),
      transfers_(config.modbusTypes, settings_.serialLine, queues.engineLock()) {}

CommThread::~CommThread() {
    stop();
}

void CommThread::start() {
    if (thread_.joinable())
        return;
    // The texts and the device table are set up before the thread runs, so that other threads
    // may read them from the start.
    errorTexts_.loadOnce(settings_.errorTextPath);
    config_.devices.lock();
    uint16_t index = 0;
    for (auto pos = config_.devices.getStartPosition(); pos;) {
        EngineDevice device;
        device.device = config_.devices.getNext(pos);
        device.index = ++index;
        devices_.push_back(std::move(device));
        health_.push_back(std::make_unique<DeviceHealth>());
        failing_.push_back(false);
        const PlcDevice& config = *devices_.back().device;
        retries_.emplace_back(
            RetrySettings{config.timeoutMs, config.reducedAfter, config.reducedIntervalS * 1000});
    }
    config_.devices.unlock();
    if (settings_.serialLine)
        setUpLines();
    running_.store(true);
    thread_ = std::thread([this] { run(); });
}

void CommThread::stop() {
    stopEvent_.set();
    queues_.wake();
    transport_.stop(); // a device wait must not hold the stop, whatever its timeout
    if (thread_.joinable())
        thread_.join();
}

void CommThread::setUpLines() {
    std::unordered_map<std::string, std::shared_ptr<LineLoad>> byPort;
    std::vector<LineLoad*> lineOfDevice;
    for (size_t i = 0; i < devices_.size(); ++i) {
        std::shared_ptr<LineLoad>& line = byPort[devices_[i].device->portName];
        if (!line) {
            line = std::make_shared<LineLoad>();
            lines_.push_back(line);
        }
        health_[i]->setLine(line);
        lineOfDevice.push_back(line.get());
    }
    lineTiming_.setLines(std::move(lineOfDevice));
}

std::optional<std::string> CommThread::errorText(int code) const {
    if (code < 0 || code > 0xFFFF)
        return std::nullopt;
    return errorTexts_.lookup(static_cast<uint16_t>(code));
}

std::string CommThread::errorWording(int code) const {
    return errorText(code).value_or("Error " + std::to_string(code));
}

void CommThread::run() {
    if (devices_.empty()) {
        running_.store(false);
        observer_.onNoDevices();
        return;
    }

    startTransport();
    int previous = ErrorCode::kSuccess;
    if (!stopEvent_.wait(kCycleWaitMs)) {
        while (!stopEvent_.isSet()) {
            runHandedWork();
            const EngineQueues::Lengths waiting = queues_.lengths();
            if (waiting.writes)
                serveWrites();
            if (waiting.deviceReads)
                serveDeviceReads();
            if (waiting.activations)
                applyActivations();
            PollBlock* taken = nullptr;
            int code = chooseDevice(previous);
            code = pollOnce(code, taken);
            const bool notTried = notTried_;
            report(code, taken);
            previous = code;
            if (std::exchange(passedOver_, false))
                continue; // nothing was sent: nothing to pace
            // A device not tried costs the others no wait, unless no device is tried at all.
            if (notTried && !std::exchange(notTriedBefore_, true))
                continue;
            notTriedBefore_ = notTried;
            if (const uint32_t hold = std::exchange(holdMs_, 0)) {
                // The last transfer was paced already; a client's request or the stop ends
                // this wait early.
                queues_.waitForArrival(hold);
                continue;
            }
            if (stopEvent_.wait(kCycleWaitMs))
                break;
        }
    }
    transport_.closeAll();
    queues_.failAll();
    running_.store(false);
    runHandedWork(); // handed over while the thread was ending
}

void CommThread::betweenCycles(const std::function<void()>& work) {
    std::unique_lock lock(workMutex_);
    if (!running_.load() || std::this_thread::get_id() == thread_.get_id()) {
        work();
        return;
    }
    handedWork_ = &work;
    queues_.wake(); // a wait for a due block ends now
    workDone_.wait(lock, [this] { return handedWork_ == nullptr; });
}

void CommThread::runHandedWork() {
    std::lock_guard lock(workMutex_);
    if (!handedWork_)
        return;
    (*handedWork_)();
    handedWork_ = nullptr;
    workDone_.notify_all();
}

void CommThread::adoptPlant(const EnginePlant& plant) {
    for (const auto& tag : plant.retired) {
        EngineDevice* device = deviceOf(*tag);
        if (device && tag->blockState == BlockState::member && tag->pollBlock &&
            device->owns(tag->pollBlock))
            placement_.takeOut(*device, *tag);
    }
    std::vector<EngineDevice> devices;
    std::vector<std::unique_ptr<DeviceHealth>> health;
    std::vector<bool> failing;
    std::vector<RetrySchedule> retries;
    std::vector<uint16_t> previous; // the transport's index of a kept device, 0 for a new one
    for (const auto& device : plant.devices) {
        auto kept = std::find_if(devices_.begin(), devices_.end(),
                                 [&device](const EngineDevice& d) { return d.device == device; });
        if (kept != devices_.end()) {
            const size_t at = positionOf(*kept);
            previous.push_back(kept->index);
            devices.push_back(std::move(*kept));
            health.push_back(std::move(health_[at]));
            failing.push_back(failing_[at]);
            retries.push_back(std::move(retries_[at]));
            kept->device = nullptr; // taken
        } else {
            previous.push_back(0);
            devices.emplace_back().device = device;
            health.push_back(std::make_unique<DeviceHealth>());
            failing.push_back(false);
            retries.emplace_back(RetrySettings{device->timeoutMs, device->reducedAfter,
                                               device->reducedIntervalS * 1000});
        }
        devices.back().index = static_cast<uint16_t>(devices.size());
    }
    for (size_t at = 0; at < devices_.size(); ++at)
        if (devices_[at].device) {
            retiredHealth_.push_back(std::move(health_[at]));
            // Keyed by address: a device made later at the same address must not inherit it.
            queues_.answerAtOnce(*devices_[at].device, 0);
        }
    devices_ = std::move(devices);
    health_ = std::move(health);
    failing_ = std::move(failing);
    retries_ = std::move(retries);
    for (EngineDevice& device : devices_) {
        placement_.recompute(device);
        // The function codes may have changed (DATATYPE rows): blocks read with the new ones.
        for (auto& block : device.pollBlocks)
            block->readCode = config_.modbusTypes.readCode(block->kind);
    }
    polled_ = 0;
    lastSentDevice_ = nullptr;
    lastSentCode_ = 0;
    transport_.reconfigure(deviceTable(), previous, plant.lines, plant.changedLines);
    currentIndex_ = 0;
    if (settings_.serialLine) {
        lines_.clear();
        setUpLines();
    }
}

std::vector<DeviceEntry> CommThread::deviceTable() const {
    std::vector<DeviceEntry> table;
    for (const EngineDevice& d : devices_)
        table.push_back(transportEntryOf(*d.device));
    return table;
}

int CommThread::startEngine() {
    currentIndex_ = 0;
    const int code = transport_.start(deviceTable());
    if (!settings_.serialLine)
        transportNotStarted_ = code != ErrorCode::kSuccess;
    return code;
}

void CommThread::startTransport() {
    const int code = startEngine();
    if (code != ErrorCode::kSuccess)
        getSOCmnTrace().trace(TraceLevel::warning, "ENG",
                              "the transport did not start: error " + std::to_string(code));
}

bool CommThread::settle(size_t EngineQueues::Lengths::*queue, uint32_t intervalMs) {
    size_t before = queues_.lengths().*queue;
    for (int look = 0; look < kMaxSettleLooks; ++look) {
        if (stopEvent_.wait(intervalMs))
            return false;
        const size_t now = queues_.lengths().*queue;
        if (now == before)
            break;
        before = now;
    }
    return true;
}

EngineDevice* CommThread::deviceOf(const PolledTag& tag) {
    for (EngineDevice& device : devices_)
        if (device.device == tag.device())
            return &device;
    return nullptr;
}

void CommThread::serveWrites() {
    if (!settle(&EngineQueues::Lengths::writes, kRequestSettleMs))
        return;
    {
        std::lock_guard lock(queues_.engineLock());
        for (QueuedRequest& entry : queues_.takeWrites()) {
            if (EngineDevice* device = deviceOf(*entry.tag))
                transfers_.addWrite(*device, std::move(entry));
            else
                completeWrite(*entry.request, false, vorn::Quality::kBadConfigError);
        }
    }
    for (EngineDevice& device : devices_) {
        if (device.writeBlocks.empty())
            continue;
        if (selectForClients(device))
            transfers_.serveWrites(device, transport_, clientReport(device));
    }
}

void CommThread::serveDeviceReads() {
    if (!settle(&EngineQueues::Lengths::deviceReads, kRequestSettleMs))
        return;
    {
        std::lock_guard lock(queues_.engineLock());
        for (QueuedRequest& entry : queues_.takeDeviceReads()) {
            if (EngineDevice* device = deviceOf(*entry.tag))
                transfers_.addRead(*device, std::move(entry));
            else
                entry.request->complete(S_OK, false, vorn::Quality::kUncertain, false, true);
        }
    }
    for (EngineDevice& device : devices_) {
        if (device.readBlocks.empty())
            continue;
        if (selectForClients(device))
            transfers_.serveReads(device, transport_, clientReport(device));
    }
}

void CommThread::applyActivations() {
    if (!settle(&EngineQueues::Lengths::activations, kActivationSettleMs))
        return;
    std::lock_guard lock(queues_.engineLock());
    std::vector<ActivationChange> changes = queues_.takeActivations();
    std::stable_sort(changes.begin(), changes.end(), [](const auto& a, const auto& b) {
        return a.tag->address() < b.tag->address();
    });
    const uint32_t now = getTickCount();
    for (ActivationChange& change : changes) {
        PolledTag& tag = *change.tag;
        EngineDevice* device = deviceOf(tag);
        if (!device || tag.isRemoved())
            continue;
        const bool member =
            tag.blockState == BlockState::member && tag.pollBlock && device->owns(tag.pollBlock);
        if (change.rateChange) {
            // Only tags being polled move to the new rate; a tag nobody keeps active stays out.
            if (member) {
                placement_.takeOut(*device, tag);
                placement_.add(*device, tag, change.updateRate, now);
            }
        } else if (!change.active) {
            if (member && tag.activeItems().isEmpty())
                placement_.takeOut(*device, tag);
        } else {
            if (member && tag.pollBlock->updateRate <= change.updateRate)
                continue;
            if (member)
                placement_.takeOut(*device, tag);
            placement_.add(*device, tag, change.updateRate, now);
        }
    }
    for (EngineDevice& device : devices_)
        placement_.recompute(device);
}

bool CommThread::selectForClients(EngineDevice& device) {
    const size_t position = positionOf(device);
    const RetrySchedule& retry = retries_[position];
    if (!retry.mayTry(std::chrono::steady_clock::now())) {
        transfers_.failWithoutSending(device, retry.lastCode());
        return false;
    }
    // Selected even when it is the current device already: a device without active tags has
    // its connection let go between cycles, and selecting reopens it.
    currentIndex_ = device.index;
    const int code = transport_.selectDevice(device.index);
    health_[position]->setActiveAddress(transport_.activeEndpoint(device.index));
    if (code == ErrorCode::kSuccess)
        return true;
    recordOutcome(position, code, std::nullopt, true);
    transfers_.failWithoutSending(device, code);
    return false;
}

int CommThread::selectDevice(EngineDevice& device) {
    if (settings_.serialLine || !device.pollBlocks.empty()) {
        const RetrySchedule& retry = retries_[positionOf(device)];
        if (!retry.mayTry(std::chrono::steady_clock::now())) {
            // Nothing goes to the device: another device may stay the transport's current one.
            notTried_ = true;
            currentIndex_ = 0;
            return retry.lastCode();
        }
        currentIndex_ = device.index;
        const int code = transport_.selectDevice(device.index);
        health_[positionOf(device)]->setActiveAddress(transport_.activeEndpoint(device.index));
        connectFailed_ = code != ErrorCode::kSuccess;
        return code;
    }
    // Nothing to poll: let its connection go. The device is then not the current one, so once
    // a client activates its tags it is selected, and connected, before its first poll.
    transport_.releaseDevice(device.index);
    currentIndex_ = 0;
    return ErrorCode::kSuccess;
}

int CommThread::chooseDevice(int previousCode) {
    const bool failed = isCommunicationError(previousCode);
    int code = ErrorCode::kSuccess;
    config_.devices.lock();
    EngineDevice& polled = devices_[polled_];
    if (polled.allVisited() || failed) {
        polled.clearVisited();
        polled_ = (polled_ + 1) % devices_.size();
        EngineDevice& next = devices_[polled_];
        if (!(next.index == currentIndex_ && polled_ != 0))
            code = selectDevice(next);
    } else if (polled.index != currentIndex_) {
        code = selectDevice(polled);
    }
    config_.devices.unlock();
    return code;
}

int CommThread::pollOnce(int code, PollBlock*& taken) {
    polledRoundTripMs_.reset();
    EngineDevice& device = devices_[polled_];
    if (device.pollBlocks.empty())
        return code;
    const RetrySchedule& retry = retries_[polled_];
    if (code == ErrorCode::kSuccess && !retry.mayTry(std::chrono::steady_clock::now())) {
        notTried_ = true; // still connected, but failing: only tried at its reduced rate
        code = retry.lastCode();
    }
    if (++device.rotation >= device.pollBlocks.size())
        device.rotation = 0;
    PollBlock& block = *device.pollBlocks[device.rotation];
    taken = &block;
    if (code != ErrorCode::kSuccess) {
        block.visited = true;
        return code;
    }
    if (block.members.empty())
        return code;
    if (block.updateRate == 0 || ticksSince(block.lastTransfer) <= block.updateRate) {
        if (settings_.holdUntilDue && block.updateRate != 0) {
            if (const uint32_t untilDue = msUntilNextDue()) {
                device.rotation =
                    (device.rotation == 0 ? device.pollBlocks.size() : device.rotation) - 1;
                holdMs_ = untilDue;
                return code; // the same block is looked at again next cycle
            }
            passedOver_ = true;
        }
        block.visited = true;
        return code;
    }
    const auto sent = std::chrono::steady_clock::now();
    code = readBlock(device, block);
    polledRoundTripMs_ =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent).count();
    if (block.lastSent != std::chrono::steady_clock::time_point{})
        health_[polled_]->recordReadInterval(
            std::chrono::duration<double, std::milli>(sent - block.lastSent).count());
    block.lastSent = sent;
    block.lastResult.store(code);
    block.lastReadMs.store(std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count());
    if (!block.readTagByTag.load())
        for (PolledTag* tag : block.members) {
            if (code != ErrorCode::kSuccess)
                markFailed(*tag, code);
            else
                deliverValue(*tag, block.buffer, block.start);
        }
    block.lastTransfer = getTickCount();
    block.visited = true;
    return code;
}

int CommThread::readBlock(EngineDevice& device, PollBlock& block) {
    const PollRead read =
        readPollBlock(transport_, block, device.device->readLimits, device.splitLayouts);
    if (read.refusal == ErrorCode::kSuccess)
        return read.code;
    health_[positionOf(device)]->setSplitBlocks(static_cast<uint32_t>(device.splitLayouts.size()));
    getSOCmnTrace().trace(
        TraceLevel::warning, "ENG",
        device.device->name + ": " + unitsText(block.kind, block.start, block.length) +
            " refused together (" + errorWording(read.refusal) + "); their " +
            std::to_string(block.members.size()) + " tags are read one by one from now on");
    return read.code;
}

uint32_t CommThread::msUntilNextDue() const {
    const uint32_t now = getTickCount(); // once: this runs over every block
    uint32_t first = 0;
    for (const EngineDevice& device : devices_)
        for (const auto& block : device.pollBlocks) {
            if (block->members.empty() || block->updateRate == 0)
                continue;
            const uint32_t elapsed = now - block->lastTransfer;
            if (elapsed > block->updateRate)
                return 0;
            const uint32_t left = block->updateRate - elapsed + 1; // due once past the rate
            if (first == 0 || left < first)
                first = left;
        }
    return first;
}

void CommThread::markDevice(EngineDevice& device, int code) {
    for (auto& block : device.pollBlocks)
        for (PolledTag* tag : block->members)
            markFailed(*tag, code);
}

void CommThread::recoverSerialLine(EngineDevice& device, int code) {
    // The transport has already closed the failing port where the line needs it (a failed write
    // or no answer); the other lines stay open with their modem lines and queues.
    currentIndex_ = 0;
    stopEvent_.wait(kSerialRecoveryMs);
    markDevice(device, code);
    startTransport();
}

TransferReport CommThread::clientReport(const EngineDevice& device) {
    const size_t position = positionOf(device);
    return [this, position](int code, double roundTripMs) {
        recordOutcome(position, code, roundTripMs);
    };
}

void CommThread::recordOutcome(size_t position, int code, std::optional<double> roundTripMs,
                               bool connecting) {
    DeviceHealth& health = *health_[position];
    RetrySchedule& retry = retries_[position];
    const bool wasReduced = retry.reducedRate();
    if (isCommunicationError(code))
        retry.failed(code, connecting, std::chrono::steady_clock::now());
    else if (code != ErrorCode::kSuccess || roundTripMs)
        retry.succeeded(); // the device answered, if only with an exception
    health.setReducedRate(retry.reducedRate());
    if (retry.reducedRate() != wasReduced || (wasReduced && isCommunicationError(code)))
        queues_.answerAtOnce(*devices_[position].device, retry.lastCode());
    std::string text;
    if (code != ErrorCode::kSuccess) {
        text = errorWording(code);
        health.recordFailure(static_cast<uint32_t>(code), text);
        failing_[position] = true;
    } else if (roundTripMs) {
        health.recordSuccess(*roundTripMs, std::chrono::system_clock::now());
        // The listener is shared by every polling thread: a transfer that works after others
        // that worked changes nothing it shows.
        const bool recovered = failing_[position];
        failing_[position] = false;
        if (!recovered)
            return;
    } else {
        return; // nothing was sent: the device's state is unchanged
    }
    if (onOutcome_)
        onOutcome_(*devices_[position].device, code, text);
}

void CommThread::report(int code, PollBlock* taken) {
    const bool notTried = std::exchange(notTried_, false);
    const bool connecting = std::exchange(connectFailed_, false);
    if (!notTried)
        recordOutcome(polled_, code, polledRoundTripMs_, connecting);
    EngineDevice& device = devices_[polled_];
    if (code != ErrorCode::kSuccess) {
        if (taken)
            for (PolledTag* tag : taken->members)
                markFailed(*tag, code);
        if (code != lastSentCode_ || device.device.get() != lastSentDevice_) {
            lastSentCode_ = code;
            lastSentDevice_ = device.device.get();
            observer_.onCommStatus(code, *device.device);
        }
        if (!settings_.serialLine && transportNotStarted_)
            startTransport();
        if (isCommunicationError(code)) {
            if (settings_.serialLine && !notTried)
                recoverSerialLine(device, code);
            else
                markDevice(device, code);
        }
    }
    if (lastSentCode_ != ErrorCode::kSuccess && code == ErrorCode::kSuccess) {
        lastSentCode_ = ErrorCode::kSuccess;
        lastSentDevice_ = device.device.get();
        observer_.onCommStatus(ErrorCode::kSuccess, *device.device);
    }
}

} // namespace vorn::modbus
