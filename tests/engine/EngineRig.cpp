#include "EngineRig.h"

#include "ConfigFiles.h"
#include "config/ConfigLoader.h"
#include "server/ModbusGroupItem.h"
#include "server/ModbusTag.h"
#include "ui/BlockLabel.h"

#include <chrono>
#include <thread>

namespace vorn::test {

void RecordingObserver::onCommStatus(int code, PlcDevice& device) {
    std::lock_guard lock(mutex_);
    reports_.push_back({code, device.name});
    changed_.notify_all();
}

void RecordingObserver::onNoDevices() {
    std::lock_guard lock(mutex_);
    noDevices_ = true;
    changed_.notify_all();
}

bool RecordingObserver::waitFor(const std::function<bool(const std::vector<Report>&)>& predicate,
                                int timeoutMs) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return predicate(reports_); });
}

std::vector<RecordingObserver::Report> RecordingObserver::reports() {
    std::lock_guard lock(mutex_);
    return reports_;
}

bool RecordingObserver::noDevices() {
    std::lock_guard lock(mutex_);
    return noDevices_;
}

EngineRig::EngineRig() : entry_(makeObject<SODaSEntry>()) {
    entry_->setCreator(makeObject<ModbusCreator>().get());
    entry_->start();
}

EngineRig::~EngineRig() {
    client_.reset();
    if (engine_)
        engine_->stop();
}

SimDevice& EngineRig::addSimulator(const std::vector<std::string>& arguments) {
    auto sim = std::make_unique<SimDevice>();
    sim->log = dir.file("sim" + std::to_string(sims.size()) + ".log");
    std::vector<std::string> all{"--tcp", "127.0.0.1:0", "--log", sim->log};
    all.insert(all.end(), arguments.begin(), arguments.end());
    sim->process = std::make_unique<SimProcess>(MODBUS_SIM_PATH, all);
    sims.push_back(std::move(sim));
    return *sims.back();
}

void EngineRig::start(const std::string& datatypes, const std::string& devices,
                      modbus::EngineObserver* reportTo) {
    const std::string path = dir.write("Tarnvale.xml", tcpConfig(datatypes, devices));
    ConfigLoader loader(ServerKind::tarnvale, config_, modbusTagFactory(queues_),
                        Registry(dir.file("registry.ini")));
    auto root = entry_->getNameSpaceRoot();
    root->setTreeDelimiter('.');
    loader.loadConfiguration(path, *root);
    modbus::EngineSettings settings{false, dir.file("Tarnvale.dat")};
    settings.holdUntilDue = holdUntilDue;
    engine_ = std::make_unique<modbus::CommThread>(config_, queues_, transport_,
                                                   reportTo ? *reportTo : observer, settings);
    engine_->start();
    client_ = std::make_unique<DaClient>(*entry_);
}

SOCmnPointer<SODaSTag> EngineRig::tag(const std::string& itemId) {
    return entry_->getNameSpaceRoot()->findTag(itemId);
}

std::vector<std::string> EngineRig::pollBlocks(size_t device) {
    std::vector<std::string> labels;
    std::lock_guard lock(queues_.engineLock());
    const auto& devices = engine_->devices();
    if (device >= devices.size())
        return labels;
    for (const auto& block : devices[device].pollBlocks)
        labels.push_back(ui::blockLabel(block->kind, block->start, block->length) + "@" +
                         std::to_string(block->updateRate));
    return labels;
}

std::vector<ReadResult> EngineRig::readTogether(const std::vector<std::string>& itemIds,
                                                uint32_t timeoutMs) {
    std::vector<ReadResult> results(itemIds.size());
    std::vector<std::thread> readers;
    for (size_t i = 0; i < itemIds.size(); ++i)
        readers.emplace_back(
            [&, i] { results[i] = client_->readFromDevice(itemIds[i], timeoutMs); });
    for (auto& reader : readers)
        reader.join();
    return results;
}

bool EngineRig::eventually(const std::function<bool()>& condition, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

std::string plcFor(const SimDevice& sim, const std::string& name, const std::string& tags,
                   const std::string& attributes) {
    return tcpDevice(name, sim.process->host(), tags,
                     " port=\"" + std::to_string(sim.process->port()) + "\"" + attributes);
}

} // namespace vorn::test
