// How the serial server's communication log starts: the registry values "CommLog" (1 on, 0 off,
// the default) and "CommLogFolder" under the server's key, so that the log works headless and
// under systemd, not only from the window's menu.
#pragma once

#include "platform/Registry.h"

#include <string>

namespace vorn::modbus {

inline constexpr const char* kCommLogValue = "CommLog";
inline constexpr const char* kCommLogFolderValue = "CommLogFolder";

struct CommLogSettings {
    bool enabled = false;
    // "CommLogFolder"; else $LOGS_DIRECTORY (the folder systemd gives the service); else, for an
    // installed program, /var/log/vorn; else the program's folder. Empty means the current
    // directory.
    std::string folder;
};

// Reads the settings under `key`; a "CommLog" that is neither 0 nor 1 leaves the log off, with a
// warning in the trace.
CommLogSettings readCommLogSettings(const Registry& registry, const std::string& key);

// Remembers the switch as the window's menu flipped it; false (with a warning in the trace)
// when the registry cannot be written, the switch then holding until the server ends.
bool storeCommLogSwitch(Registry& registry, const std::string& key, bool enabled);

} // namespace vorn::modbus
