// A program started by a test, with its stdout on a pipe and its stderr kept in a file, that is
// always gone when the test ends: the destructor kills (SIGKILL) and reaps it if still running.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace vorn::test {

// A program run to its end, as runToEnd gives it.
struct ProgramRun {
    int exitCode = -1; // -1 when it did not end in time
    std::string out;
    std::string err;
};

class ChildProcess {
public:
    // Starts `program` with `arguments` (argv[1]...). Throws std::runtime_error if it cannot.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }

    // The next line the program writes to stdout (without the newline), or nullopt when it does
    // not come within `timeout` or stdout is closed.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);

    // Waits up to `timeout` for the program to end; its exit code, or 128 + signal number when
    // a signal ended it, or nullopt when it is still running.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);
    // SIGTERM, then waitForExit(timeout).
    std::optional<int> terminate(std::chrono::milliseconds timeout);
    void signal(int signalNumber);

    // Everything the program wrote to stderr so far.
    std::string errorOutput() const;

private:
    pid_t pid_ = -1;
    int stdoutFd_ = -1;
    std::string stdoutBuffer_;
    std::string stderrPath_;
    std::optional<int> exitCode_;
};

// Runs `program` to its end: its stdout (lines end in "\n"), stderr and exit code. A program
// still running after `timeout` is killed and gives -1.
ProgramRun runToEnd(const std::string& program, const std::vector<std::string>& arguments,
                    std::chrono::milliseconds timeout);

} // namespace vorn::test
