// A device's optional communication settings (fileformat/DeviceSettings.h names them) applied
// to the model's PlcDevice. A bad value is a problem to warn about, and the device keeps that
// setting's default: every value a setting may take reads the device correctly, only maybe
// less efficiently.
#pragma once

#include "config/PlcDevice.h"
#include "fileformat/DeviceSettings.h"

#include <string>

namespace vorn {

// Sets `name` from `text` when it is one of the device's communication settings and the value
// is good; true when `name` is one of them (the caller offers a Rennick device only the ones
// that are not tcpOnly). A bad value leaves the default (ConfigCheck warns
// about it with the file's line).
bool applyDeviceSetting(const std::string& name, const std::string& text, PlcDevice& device);

} // namespace vorn
