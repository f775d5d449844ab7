#include "ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace vorn::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMaxInheritedFd = 4096;

int decodeStatus(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

} // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments) {
    char stderrTemplate[] = "/tmp/vorn-child-stderr-XXXXXX";
    int stderrFd = mkstemp(stderrTemplate);
    if (stderrFd < 0)
        throw std::runtime_error(std::string("mkstemp: ") + std::strerror(errno));
    stderrPath_ = stderrTemplate;

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        std::string reason = std::strerror(errno);
        ::close(stderrFd);
        std::remove(stderrPath_.c_str());
        throw std::runtime_error("pipe: " + reason);
    }

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_ = fork();
    if (pid_ == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        dup2(stderrFd, STDERR_FILENO);
        // The child must not hold the test's other descriptors (sockets of a server under test,
        // say): a connection the test closes would otherwise stay open in the child.
        if (close_range(3, ~0U, 0) != 0) {
            for (int fd = 3; fd < kMaxInheritedFd; ++fd)
                ::close(fd);
        }
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    ::close(pipeFds[1]);
    ::close(stderrFd);
    if (pid_ < 0) {
        std::string reason = std::strerror(errno);
        ::close(pipeFds[0]);
        std::remove(stderrPath_.c_str());
        throw std::runtime_error("fork: " + reason);
    }
    stdoutFd_ = pipeFds[0];
}

ChildProcess::~ChildProcess() {
    if (!exitCode_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    if (stdoutFd_ >= 0)
        ::close(stdoutFd_);
    std::remove(stderrPath_.c_str());
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (auto newline = stdoutBuffer_.find('\n'); newline != std::string::npos) {
            std::string line = stdoutBuffer_.substr(0, newline);
            stdoutBuffer_.erase(0, newline + 1);
            return line;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || stdoutFd_ < 0)
            return std::nullopt;
        pollfd fd{stdoutFd_, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char chunk[512];
        ssize_t got = ::read(stdoutFd_, chunk, sizeof chunk);
        if (got <= 0) {
            ::close(stdoutFd_);
            stdoutFd_ = -1;
            return std::nullopt;
        }
        stdoutBuffer_.append(chunk, static_cast<std::size_t>(got));
    }
}

std::optional<int> ChildProcess::waitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!exitCode_) {
        int status = 0;
        pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            exitCode_ = decodeStatus(status);
            break;
        }
        if (done < 0 || Clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return exitCode_;
}

std::optional<int> ChildProcess::terminate(std::chrono::milliseconds timeout) {
    signal(SIGTERM);
    return waitForExit(timeout);
}

void ChildProcess::signal(int signalNumber) {
    if (!exitCode_)
        ::kill(pid_, signalNumber);
}

std::string ChildProcess::errorOutput() const {
    std::ifstream file(stderrPath_);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

ProgramRun runToEnd(const std::string& program, const std::vector<std::string>& arguments,
                    std::chrono::milliseconds timeout) {
    ChildProcess child(program, arguments);
    ProgramRun run;
    const auto deadline = Clock::now() + timeout;
    while (auto line = child.readLine(std::chrono::duration_cast<std::chrono::milliseconds>(
               std::max(deadline - Clock::now(), Clock::duration::zero()))))
        run.out += *line + "\n";
    run.exitCode = child
                       .waitForExit(std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::max(deadline - Clock::now(), Clock::duration::zero())))
                       .value_or(-1);
    run.err = child.errorOutput();
    return run;
}

} // namespace vorn::test
