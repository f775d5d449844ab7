#include "ServerMain.h"

#include "apps/ShutdownSignals.h"
#include "opc/CommandLine.h"
#include "platform/MessageBox.h"
#include "platform/qt/QtMessageBox.h"
#include "toolkit/SOCmnTrace.h"
#include "ui/ServerMainWindow.h"
#include "ui/WindowObserver.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>

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
int registration(ServerCore& core, ServerSwitch which) {
    const bool done =
        which == ServerSwitch::regServer ? core.registerServer() : core.unregisterServer();
    if (!done) {
        std::fprintf(stderr, "%s: the registry file %s could not be updated\n",
                     core.identity().programName, core.registry().path().c_str());
        return 1;
    }
    return 0;
}

} // namespace

int runServer(ServerKind kind, int argc, char** argv, ServerCore::TransportFactory makeTransport,
              modbus::CommLog* commLog) {
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
    ServerCore core(kind, std::move(makeTransport));

    const ServerSwitch which = parseServerSwitch(textAfterProgram(argc, argv));
    if (which == ServerSwitch::regServer || which == ServerSwitch::unregServer)
        return registration(core, which);

    core.installEventHandler(which == ServerSwitch::embedding, [&window] {
        QMetaObject::invokeMethod(&window, "close", Qt::QueuedConnection);
    });
    core.setTestTool(which == ServerSwitch::testTool);

    ui::WindowObserver observer(window);
    std::string error;
    int exitCode = 0;
    if (core.start(observer, &window, error)) {
        observer.watchEngine(*core.engine());
        window.attachEngine(*core.engine(), core.queues());
        if (commLog)
            window.attachCommLog(*commLog);
        ShutdownSignals shutdownSignals(window);
        // One line for people and scripts alike: where OPC UA clients reach the server.
        std::printf("%s: listening %s\n", core.identity().programName, core.endpointUrl().c_str());
        std::fflush(stdout);
        window.showMinimized();
        exitCode = application.exec();
    } else {
        getSOCmnTrace().trace(TraceLevel::error, "DMS", "Can't start the OPC server: " + error);
        exitCode = 1; // a server that cannot serve must not look like one that ended well
    }
    observer.stop(); // a notification still waiting for the window gives up now
    core.shutdown();
    installMessageBoxes(nullptr);
    return exitCode;
}

} // namespace vorn
