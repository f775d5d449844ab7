#include "CommLogSettings.h"

#include "platform/InstalledLayout.h"
#include "platform/ProgramPath.h"
#include "toolkit/SOCmnTrace.h"

#include <cstdlib>

namespace vorn::modbus {

CommLogSettings readCommLogSettings(const Registry& registry, const std::string& key) {
    CommLogSettings settings;
    if (auto value = registry.readString(key, kCommLogValue)) {
        if (*value == "1")
            settings.enabled = true;
        else if (*value != "0" && !value->empty())
            getSOCmnTrace().trace(TraceLevel::warning, "RTU",
                                  std::string("registry value ") + kCommLogValue + "=" + *value +
                                      " is neither 1 (log on) nor 0 (off): the log stays off");
    }
    if (auto folder = registry.readString(key, kCommLogFolderValue); folder && !folder->empty())
        settings.folder = *folder;
    else if (const char* logs = std::getenv("LOGS_DIRECTORY"); logs && *logs)
        settings.folder = logs;
    else if (auto installed = installedLogFolder()) // its program folder is read-only
        settings.folder = *installed;
    else
        settings.folder = besideProgram(""); // the program's folder, or empty when unknown
    return settings;
}

bool storeCommLogSwitch(Registry& registry, const std::string& key, bool enabled) {
    if (registry.writeString(key, kCommLogValue, enabled ? "1" : "0"))
        return true;
    getSOCmnTrace().trace(TraceLevel::warning, "RTU",
                          std::string("the log switch holds until the server ends: ") +
                              registry.writeError());
    return false;
}

} // namespace vorn::modbus
