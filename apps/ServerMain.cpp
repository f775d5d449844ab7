#include "ServerMain.h"

#include "apps/ReloadThread.h"
#include "apps/ShutdownSignals.h"
#include "engine/DeviceStatusLog.h"
#include "modbus/rtu/CommLogSettings.h"
#include "platform/MessageBox.h"
#include "platform/ServiceManager.h"
#include "platform/qt/QtMessageBox.h"
#include "server/CommandLine.h"
#include "server/ConfigCheck.h"
#include "server/LongOptions.h"
#include "toolkit/SOCmnTrace.h"
#include "ui/ServerMainWindow.h"
#include "ui/WindowObserver.h"
#include "web/WebFront.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

namespace vorn {
namespace {

// Without a display Qt's own remarks (no runtime folder, offscreen limits) are noise in a
// service's log: they go to the trace at debug level.
void qtMessagesToTrace(QtMsgType type, const QMessageLogContext&, const QString& text) {
    const TraceLevel level =
        type == QtFatalMsg || type == QtCriticalMsg ? TraceLevel::error : TraceLevel::debug;
    getSOCmnTrace().trace(level, "QT", text.toStdString());
}

// Registration writes or removes the records and ends without a window.
int registration(GatewayServer& core, ServerSwitch which) {
    const bool done =
        which == ServerSwitch::regServer ? core.registerServer() : core.unregisterServer();
    if (!done) {
        std::fprintf(stderr, "%s: the registry file %s could not be updated\n",
                     core.identity().programName, core.registry().path().c_str());
        return 1;
    }
    return 0;
}

// The long options that end before a server starts; nullopt when the server is to run.
std::optional<int> answerLongOption(ServerKind kind, const LongOption& option,
                                    const GatewayServer::TransportFactory& makeTransport) {
    const char* program = identityOf(kind).programName;
    switch (option.kind) {
    case LongOption::Kind::help:
        std::fputs(usageText(program).c_str(), stdout);
        std::fputs(registryHelpText(kind).c_str(), stdout);
        return 0;
    case LongOption::Kind::version:
        std::printf("%s %u.%u build %u\n", program, kVersionMajor, kVersionMinor, kVersionBuild);
        return 0;
    case LongOption::Kind::refused:
        std::fprintf(stderr, "%s: unknown option \"%s\"\n%s", program, option.text.c_str(),
                     usageText(program).c_str());
        return kExitUsage;
    case LongOption::Kind::checkConfig: {
        GatewayServer core(kind, nullptr);
        core.setConfigPath(option.path);
        const int exitCode = printConfigCheck(checkConfiguration(core), stdout);
        if (option.probe) {
            std::fflush(stdout); // the file check is read first, even if a device is slow
            const std::unique_ptr<modbus::ModbusTransport> transport = makeTransport(core.config());
            printProbe(probeConfiguration(core, *transport), stdout);
        }
        return exitCode;
    }
    default:
        return std::nullopt;
    }
}

} // namespace

int runServer(ServerKind kind, int argc, char** argv, GatewayServer::TransportFactory makeTransport,
              modbus::CommLog* commLog) {
    const LongOption longOption = parseLongOption(argc, argv);
    if (auto exitCode = answerLongOption(kind, longOption, makeTransport))
        return *exitCode;
    const bool headless = isHeadless();
    if (headless) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        qInstallMessageHandler(qtMessagesToTrace);
    }
    QApplication application(argc, argv);
    std::unique_ptr<QtMessageBox> windowBoxes;
    if (!headless) {
        windowBoxes = std::make_unique<QtMessageBox>();
        installMessageBoxes(windowBoxes.get());
    }

    // The window exists, hidden, before anything else happens: it owns the start-up messages.
    ui::ServerMainWindow window(kind);
    GatewayServer core(kind, std::move(makeTransport));

    // A long option replaces the switch: "--config PATH" starts as if by hand.
    const ServerSwitch which = longOption.kind == LongOption::Kind::none
                                   ? parseServerSwitch(textAfterProgram(argc, argv))
                                   : ServerSwitch::none;
    core.setConfigPath(longOption.path);
    // Without a window each device's own state goes to stderr: a line when it starts failing,
    // one when it recovers, a reminder a minute at most while it keeps failing.
    modbus::DeviceStatusLog statusLog;
    if (headless)
        core.setOutcomeListener(
            [&statusLog](const PlcDevice& device, int code, const std::string& text) {
                const auto now = modbus::DeviceStatusLog::Clock::now();
                auto line = code == 0 ? statusLog.onSuccess(device, now)
                                      : statusLog.onFailure(device, code, text, now);
                if (line) {
                    std::fprintf(stderr, "%s\n", line->c_str());
                    std::fflush(stderr);
                }
            });
    if (which == ServerSwitch::regServer || which == ServerSwitch::unregServer)
        return registration(core, which);

    core.installEventHandler(which == ServerSwitch::embedding, [&window] {
        QMetaObject::invokeMethod(&window, "close", Qt::QueuedConnection);
    });
    core.setTestTool(which == ServerSwitch::testTool);

    ui::WindowObserver observer(window);
    web::WebFront webFront(core);
    std::string error;
    int exitCode = 0;
    if (core.start(observer, &window, error)) {
        observer.watchEngine(*core.engine());
        std::vector<ui::EngineSource> engines;
        for (const GatewayServer::PollingEngine& polling : core.pollingEngines())
            engines.push_back({polling.engine, &polling.queues->engineLock()});
        window.attachEngines(std::move(engines));
        if (commLog)
            window.attachCommLog(*commLog, [&core, kind](bool on) {
                (void)modbus::storeCommLogSwitch(core.registry(), profileOf(kind).registryKey, on);
            });
        // SIGHUP and the window's menu apply the changed configuration file; one line says
        // what came of it.
        ReloadThread reloads([&core] {
            const ReloadOutcome outcome = core.reload();
            std::fprintf(stderr, "%s\n", outcome.statusLine(core.identity().programName).c_str());
            std::fflush(stderr);
        });
        window.attachReload([&reloads] { reloads.request(); });
        ShutdownSignals shutdownSignals(window, [&reloads] { reloads.request(); });
        // One line for people and scripts alike: where OPC UA clients reach the server.
        std::printf("%s: listening %s\n", core.identity().programName, core.endpointUrl().c_str());
        // Where its trust lists are and which certificate clients are to trust.
        if (const std::string pki = core.pkiSummary(); !pki.empty())
            std::printf("%s: %s\n", core.identity().programName, pki.c_str());
        // Then one line for whoever starts it: which file, and what came of it.
        std::printf("%s\n", core.configSummary().c_str());
        // The status page, when the registry asks for one; a front that cannot start leaves
        // the server serving OPC UA.
        std::string webError;
        if (!webFront.start(webError))
            getSOCmnTrace().trace(TraceLevel::error, "WEB", "the status page is off: " + webError);
        else if (!webFront.url().empty())
            std::printf("%s: web page %s\n", core.identity().programName, webFront.url().c_str());
        std::fflush(stdout);
        // The endpoint listens: dependants may start. A server with nothing to serve is about to
        // end with exit code 1 and never counts as started.
        if (core.hasDevices())
            notifyServiceManager("READY=1");
        window.showMinimized();
        exitCode = application.exec();
        // Nothing to serve is a failure a service manager must see, not a normal end.
        if (!core.hasDevices())
            exitCode = 1;
    } else {
        getSOCmnTrace().trace(TraceLevel::error, "DMS", "Can't start the OPC server: " + error);
        exitCode = 1; // a server that cannot serve must not look like one that ended well
    }
    notifyServiceManager("STOPPING=1");
    observer.stop(); // a notification still waiting for the window gives up now
    webFront.stop();
    core.shutdown();
    installMessageBoxes(nullptr);
    return exitCode;
}

} // namespace vorn
