#include "GatewayServer.h"

#include "config/ConfigLoader.h"
#include "config/ConfigTrace.h"
#include "north/mqtt/MqttStatusNodes.h"
#include "platform/ProgramPath.h"
#include "server/DeviceHealthNodes.h"
#include "server/ModbusGroupItem.h"
#include "server/ModbusTag.h"
#include "server/TraceCapture.h"
#include "server/UaSecuritySettings.h"
#include "toolkit/SOCmnEventPool.h"
#include "toolkit/SOCmnTrace.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <unistd.h>

namespace vorn {
namespace {

// The error-text file: beside the program (the build puts it there), else in the installed
// data folder <prefix>/share/vorn beside <prefix>/bin. Without it errors show as numbers,
// which the trace says once.
std::string errorTextPath(const char* fileName) {
    const std::string beside = besideProgram(fileName);
    if (beside.empty())
        return fileName;
    if (std::ifstream(beside).good())
        return beside;
    const std::string shared = besideProgram(std::string("../share/vorn/") + fileName);
    if (std::ifstream(shared).good())
        return shared;
    getSOCmnTrace().trace(TraceLevel::warning, "DMS",
                          std::string("error texts not found (") + beside + ", " + shared +
                              "): communication errors are shown by number");
    return beside;
}

} // namespace

GatewayServer::GatewayServer(ServerKind kind, TransportFactory makeTransport, Registry registry)
    : identity_(identityOf(kind)), makeTransport_(std::move(makeTransport)),
      registry_(std::move(registry)), entry_(makeObject<SODaSEntry>()) {
    entry_->setCreator(makeObject<ModbusCreator>().get());
    entry_->initialize(1, identity_.clsid, nullptr, 0);
    entry_->setup(1, 3, 1, 3);
    entry_->setRegisterInfo(identity_.progIdVersioned, identity_.progId, identity_.description);
    entry_->setVendorInfo(std::string(identity_.description) + " - " + kVendorText);
    entry_->setVersionInfo(kVersionMajor, kVersionMinor, kVersionBuild);
    entry_->setStatusByte(3);
}

GatewayServer::~GatewayServer() {
    shutdown();
}

uint16_t GatewayServer::opcUaPort() const {
    auto text = registry_.readString(profileOf(identity_.kind).registryKey, "OpcUaPort");
    if (text) {
        char* end = nullptr;
        long port = std::strtol(text->c_str(), &end, 10);
        if (end != text->c_str() && *end == '\0' && port >= 0 && port <= 65535)
            return static_cast<uint16_t>(port);
    }
    return identity_.defaultOpcUaPort;
}

bool GatewayServer::registerServer() {
    entry_->setEndpoint("opc.tcp://localhost:" + std::to_string(opcUaPort()));
    entry_->setProgramPath(programPath());
    return entry_->registerServer(registry_) && entry_->registerCategories(registry_);
}

bool GatewayServer::unregisterServer() {
    bool server = entry_->unregisterServer(registry_);
    bool categories = entry_->unregisterCategories(registry_);
    return server && categories;
}

void GatewayServer::installEventHandler(bool embedded, std::function<void()> closeMainWindow) {
    eventHandler_ = makeObject<ServerEventHandler>(embedded, std::move(closeMainWindow));
    entry_->setEventHandler(eventHandler_.get());
}

void GatewayServer::setTestTool(bool on) {
    setTestToolMode(on);
    entry_->setTimingParameter(on ? 1000 : 50);
}

bool GatewayServer::pollsPerConnection() const {
    auto mode = registry_.readString(profileOf(identity_.kind).registryKey, "PollingMode");
    return mode && *mode == "perConnection";
}

modbus::CommThread* GatewayServer::engine() {
    if (workers_ && workers_->count() > 0)
        return &workers_->engine(0);
    return engine_.get();
}

modbus::EngineQueues& GatewayServer::queues() {
    if (workers_ && workers_->count() > 0)
        return workers_->queues(0);
    return queues_;
}

std::vector<const modbus::CommThread*> GatewayServer::engines() const {
    std::vector<const modbus::CommThread*> all;
    if (workers_)
        for (size_t i = 0; i < workers_->count(); ++i)
            all.push_back(&workers_->engine(i));
    else if (engine_)
        all.push_back(engine_.get());
    return all;
}

std::vector<GatewayServer::PollingEngine> GatewayServer::pollingEngines() {
    std::vector<PollingEngine> all;
    if (workers_)
        for (size_t i = 0; i < workers_->count(); ++i)
            all.push_back({&workers_->engine(i), &workers_->queues(i)});
    else if (engine_)
        all.push_back({engine_.get(), &queues_});
    return all;
}

ConfigSearch GatewayServer::loadConfiguration(void* owner) {
    ConfigLoader loader(identity_.kind, config_,
                        workers_ ? modbusTagFactory(*workers_) : modbusTagFactory(queues_),
                        registry_);
    loader.setConfigPath(configPath_);
    // The load's trace lines are kept for the status page, then written as they would have been.
    std::vector<TracedLine> traced;
    ConfigSearch search;
    {
        TraceCapture capture;
        search = loader.locateAndLoad(*entry_->getNameSpaceRoot(), owner);
        traced = capture.lines();
    }
    std::vector<std::string> warnings = retrace(traced);
    std::lock_guard lock(loadMutex_);
    configWarnings_ = std::move(warnings);
    configLoad_ = loader.summary();
    summaryLine_ = configLoad_.describe(identity_.programName);
    return search;
}

std::vector<std::string> GatewayServer::retrace(const std::vector<TracedLine>& traced) {
    std::vector<std::string> warnings;
    for (const TracedLine& line : traced) {
        getSOCmnTrace().trace(line.level, line.id, line.text);
        if (line.id == kConfigTraceId)
            warnings.push_back(line.text);
    }
    return warnings;
}

std::string GatewayServer::configSummary() const {
    std::lock_guard lock(loadMutex_);
    return summaryLine_;
}

ConfigSummary GatewayServer::configLoad() const {
    std::lock_guard lock(loadMutex_);
    return configLoad_;
}

std::vector<std::string> GatewayServer::configWarnings() const {
    std::lock_guard lock(loadMutex_);
    return configWarnings_;
}

ReloadOutcome GatewayServer::reload() {
    std::lock_guard one(reloadMutex_);
    ReloadOutcome outcome;
    outcome.file = configLoad().path;
    if (workers_) {
        outcome.refusal = "polling per connection (PollingMode=perConnection) takes a changed "
                          "configuration at a restart only";
        return outcome;
    }
    if (!engine_ || shutDown_) {
        outcome.refusal = "the server is not serving";
        return outcome;
    }
    // The whole file is loaded and checked aside first: the running plant is not touched.
    LoadedPlant loaded;
    ConfigLoader loader(identity_.kind, loaded.config, modbusTagFactory(queues_), registry_);
    loader.setConfigPath(configPath_);
    std::vector<TracedLine> traced;
    ConfigSearch search;
    {
        TraceCapture capture;
        search = loader.locateAndLoad(*loaded.root, nullptr);
        traced = capture.lines();
    }
    loaded.warnings = retrace(traced);
    loaded.summary = loader.summary();
    outcome.file = search.loaded.empty() ? loaded.summary.path : search.loaded;
    outcome.summary = loaded.summary;
    outcome.warnings = loaded.warnings;
    outcome.refusal = refusalOf(loaded.summary, !search.loaded.empty(), loaded.warnings);
    if (!outcome.refusal.empty())
        return outcome;

    outcome.difference = applyConfiguration(
        {config_, *entry_->getNameSpaceRoot(), *engine_, queues_, modbusTagFactory(queues_)},
        loaded);
    outcome.applied = true;
    {
        std::lock_guard lock(loadMutex_);
        configWarnings_ = loaded.warnings;
        configLoad_ = loaded.summary;
        summaryLine_ = configLoad_.describe(identity_.programName);
    }
    malloc_trim(0); // the file's parse, as at start
    return outcome;
}

void GatewayServer::makeMqttPublisher(const std::string& hostName) {
    north::mqtt::MqttSettingsRead read = north::mqtt::readMqttSettings(
        registry_, profileOf(identity_.kind).registryKey, identity_.programName, hostName);
    for (const std::string& error : read.errors)
        getSOCmnTrace().trace(TraceLevel::error, "MQT", error);
    if (!read.errors.empty())
        getSOCmnTrace().trace(TraceLevel::error, "MQT",
                              "nothing is published to MQTT until the settings above are mended");
    if (!read.settings)
        return;
    north::mqtt::PublisherInfo info;
    info.configurationWarnings = static_cast<uint32_t>(configLoad_.skipped + configLoad_.warnings);
    info.statusLine = [](const std::string& line) {
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
    };
    mqtt_ = std::make_unique<north::mqtt::MqttPublisher>(*entry_, std::move(*read.settings),
                                                         std::move(info));
}

bool GatewayServer::start(modbus::EngineObserver& observer, void* owner, std::string& error) {
    // Every setting, the accounts and the security policies among them, is in the registry: a
    // file the server may not read must not pass for one that sets nothing.
    if (auto problem = registry_.readProblem()) {
        error = "the registry file cannot be read: " + *problem;
        return false;
    }
    const bool serialLines = identity_.kind == ServerKind::rennick;
    if (pollsPerConnection())
        workers_ = std::make_unique<modbus::ConnectionWorkers>(serialLines);
    const ConfigSearch search = loadConfiguration(owner);
    if (config_.devices.isEmpty()) {
        // The server is about to end: say where it looked, so the operator knows what to fix.
        getSOCmnTrace().trace(TraceLevel::error, "CFG",
                              "no device configured; looked for the "
                              "configuration in:");
        for (const std::string& place : search.tried)
            getSOCmnTrace().trace(TraceLevel::error, "CFG", "  " + place);
    }

    char host[256] = "localhost";
    gethostname(host, sizeof host - 1);
    makeMqttPublisher(host);
    // The MQTT publisher hears which devices fail and come back, besides the program's listener.
    modbus::OutcomeListener listener = outcomeListener_;
    if (mqtt_)
        listener = [this](const PlcDevice& device, int code, const std::string& text) {
            if (outcomeListener_)
                outcomeListener_(device, code, text);
            mqtt_->deviceState(device.name, code == 0);
        };

    const modbus::EngineSettings engineSettings{serialLines,
                                                errorTextPath(identity_.errorTextFile)};
    if (workers_) {
        // Several workers report at once: the listener (status lines, health) hears one at a
        // time.
        modbus::OutcomeListener serialised;
        if (listener)
            serialised = [this, listener](const PlcDevice& device, int code,
                                          const std::string& text) {
                std::lock_guard lock(outcomeMutex_);
                listener(device, code, text);
            };
        workers_->start(config_, makeTransport_, observer, engineSettings, serialised);
    } else {
        transport_ = makeTransport_(config_);
        engine_ = std::make_unique<modbus::CommThread>(config_, queues_, *transport_, observer,
                                                       engineSettings);
        engine_->setOutcomeListener(listener);
        engine_->start();
    }
    if (!entry_->start()) {
        error = "the toolkit entry did not start";
        return false;
    }
    // Clients wait for a device read or write at most the slowest device's timeout, plus the
    // settle times and a transfer or two queued before it.
    uint32_t slowest = 0;
    config_.devices.lock();
    for (auto pos = config_.devices.getStartPosition(); pos;)
        slowest = std::max(slowest, config_.devices.getNext(pos)->timeoutMs);
    config_.devices.unlock();
    ua::UaServerSettings settings;
    settings.port = opcUaPort();
    settings.productName = identity_.title;
    settings.productUri = std::string("urn:vorn:") + identity_.programName;
    if (!readUaSecuritySettings(registry_, profileOf(identity_.kind).registryKey,
                                identity_.programName, host, settings, error))
        return false;
    settings.requestTimeoutMs = std::min<uint64_t>(3ull * slowest + 2000, 60000);
    settings.extraNodes.push_back(deviceHealthNodes(engines(), settings.applicationUri));
    uaEndpoints_ = settings.endpoints;
    if (mqtt_)
        settings.extraNodes.push_back(
            north::mqtt::mqttStatusNodes(mqtt_->status(), settings.applicationUri));
    uaServer_ = std::make_unique<ua::UaServer>(*entry_, settings);
    if (!uaServer_->start(&error)) {
        error = "the OPC UA endpoint did not start: " + error;
        return false;
    }
    startTime_ = std::chrono::system_clock::now();
    if (mqtt_)
        mqtt_->start();
    // Parsing a large file leaves tens of megabytes freed but still held by the allocator;
    // the server runs for months, so they go back to the system now.
    malloc_trim(0);
    return true;
}

ua::UaStatistics GatewayServer::uaStatistics() const {
    return uaServer_ ? uaServer_->statistics() : ua::UaStatistics{};
}

std::string GatewayServer::endpointUrl() const {
    char host[256] = "localhost";
    gethostname(host, sizeof host - 1);
    return "opc.tcp://" + std::string(host) + ":" +
           std::to_string(uaServer_ ? uaServer_->port() : opcUaPort());
}

std::string GatewayServer::pkiSummary() const {
    if (!uaServer_ || uaServer_->pkiFolder().empty())
        return {};
    return "PKI folder " + uaServer_->pkiFolder() + ", certificate thumbprint " +
           uaServer_->certificateThumbprint();
}

void GatewayServer::shutdown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    // The publisher's session is no client to wait for: it says goodbye to the broker first.
    if (mqtt_)
        mqtt_->stop();
    std::shared_ptr<Event> shutdownEvent = getEventPool().popEvent();
    if (eventHandler_)
        eventHandler_->setShutdownEvent(shutdownEvent);
    if (entry_->getObjectRoot().getBranchCount() > 1) {
        entry_->shutdownAllClients(kShutdownReason);
        shutdownEvent->wait(kClientShutdownWaitMs);
    }
    if (eventHandler_)
        eventHandler_->setShutdownEvent(nullptr);
    getEventPool().pushEvent(std::move(shutdownEvent));
    if (engine_)
        engine_->stop();
    if (workers_)
        workers_->stop();
    if (uaServer_)
        uaServer_->stop();
    entry_->terminate();
}

} // namespace vorn
