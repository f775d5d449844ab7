#include "ShutdownSignals.h"

#include <QSocketNotifier>
#include <QWidget>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vorn {
namespace {

// The handler may only write to a pipe; the event loop reads it and closes the window.
int signalPipe[2] = {-1, -1};

void onSignal(int signal) {
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] ssize_t written = write(signalPipe[1], &byte, 1);
}

} // namespace

ShutdownSignals::ShutdownSignals(QWidget& window, std::function<void()> reload) {
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, &window, [&window, reload] {
        char drained[16];
        bool close = false;
        bool reloadAsked = false;
        for (ssize_t got; (got = read(signalPipe[0], drained, sizeof drained)) > 0;)
            for (ssize_t i = 0; i < got; ++i)
                (drained[i] == SIGHUP ? reloadAsked : close) = true;
        if (reloadAsked && reload && !close)
            reload();
        if (close)
            window.close();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    if (reload)
        sigaction(SIGHUP, &action, nullptr);
}

ShutdownSignals::~ShutdownSignals() {
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGHUP, SIG_DFL);
    if (signalPipe[0] >= 0) {
        close(signalPipe[0]);
        close(signalPipe[1]);
        signalPipe[0] = signalPipe[1] = -1;
    }
}

} // namespace vorn
