// The status lines of a server without a window, one device at a time: a line when a device
// starts failing, a line when its failure changes to a code not yet said (a lost connection that
// then cannot be made again), a line when it works again, and for a device that keeps failing a
// reminder at most once a minute with the count. The last line about a failing device thus
// names the code and text its DeviceHealth shows. A device that never fails gives no line.
#pragma once

#include "config/PlcDevice.h"

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace vorn::modbus {

class DeviceStatusLog {
public:
    using Clock = std::chrono::system_clock;
    static constexpr std::chrono::seconds kReminderInterval{60};

    // A transfer of `device` worked; the recovery line when it had been failing.
    std::optional<std::string> onSuccess(const PlcDevice& device, Clock::time_point now);
    // A transfer of `device` failed with `code` ("text" its wording); the line to write, if any.
    std::optional<std::string> onFailure(const PlcDevice& device, int code, const std::string& text,
                                         Clock::time_point now);

private:
    struct Failing {
        Clock::time_point since;
        Clock::time_point lastLine;
        unsigned long failures = 0; // since the last line
        int lastCode = 0;           // of the last failure
        std::set<int> codesSaid;    // a code going back and forth waits for the reminder
    };
    std::map<const PlcDevice*, Failing> failing_; // two devices may share a name
};

// "2026-12-09 14:03:07" in UTC.
std::string utcTimestamp(std::chrono::system_clock::time_point when);

} // namespace vorn::modbus
