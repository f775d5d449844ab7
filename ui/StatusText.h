// What the main window shows for the engine's communication status: one line per device,
// only the reported device's line holding "<error text> on <device>".
#pragma once

#include "config/PlcDevice.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vorn::ui {

using ErrorTextLookup = std::function<std::optional<std::string>(int code)>;

// The text of `code`, or "Error <code>" when the error-text file has none for it.
std::string errorTextOrNumber(int code, const ErrorTextLookup& lookup);

// One "\n"-ended line per device of `devices` in order. The line of `reported` holds
// "<text> on <name>" unless `code` is 0; a device not in the list blanks every line.
std::string statusText(const std::vector<const PlcDevice*>& devices, int code,
                       const PlcDevice* reported, const ErrorTextLookup& lookup);

} // namespace vorn::ui
