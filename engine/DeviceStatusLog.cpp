#include "DeviceStatusLog.h"

#include <cstdio>
#include <ctime>

namespace vorn::modbus {

std::string utcTimestamp(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

std::optional<std::string> DeviceStatusLog::onSuccess(const PlcDevice& device,
                                                      Clock::time_point now) {
    auto it = failing_.find(&device);
    if (it == failing_.end())
        return std::nullopt;
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(now - it->second.since).count();
    failing_.erase(it);
    return device.name + ": communication restored after " + std::to_string(seconds) + " s";
}

std::optional<std::string> DeviceStatusLog::onFailure(const PlcDevice& device, int code,
                                                      const std::string& text,
                                                      Clock::time_point now) {
    const std::string what = std::to_string(code) + " " + text;
    auto [it, first] = failing_.try_emplace(&device, Failing{now, now, 0, code, {code}});
    Failing& state = it->second;
    if (first)
        return device.name + ": communication failed: " + what + " (since " + utcTimestamp(now) +
               " UTC)";
    ++state.failures;
    const bool newCode = code != state.lastCode && state.codesSaid.insert(code).second;
    state.lastCode = code;
    if (!newCode && now - state.lastLine < kReminderInterval)
        return std::nullopt;
    std::string line = device.name + ": still failing: " + what + " (" +
                       std::to_string(state.failures) + " more failed transfers since " +
                       utcTimestamp(state.lastLine) + " UTC)";
    state.lastLine = now;
    state.failures = 0;
    return line;
}

} // namespace vorn::modbus
