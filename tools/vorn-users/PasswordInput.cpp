#include "PasswordInput.h"

#include <cstdio>
#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace vorn::users {
namespace {

std::optional<std::string> readLine() {
    std::string line;
    if (!std::getline(std::cin, line))
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

} // namespace

std::optional<std::string> readPassword(const std::string& prompt) {
    if (!isatty(STDIN_FILENO))
        return readLine();
    std::fputs(prompt.c_str(), stderr);
    std::fflush(stderr);
    termios saved{};
    bool quiet = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= static_cast<tcflag_t>(~ECHO);
        silent.c_lflag |= ECHONL;
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    auto line = readLine();
    if (quiet)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    return line;
}

} // namespace vorn::users
